// SpaceRef: a non-owning link to a space that reads as null once the space is gone, as
// EntityRef is for entities. A queued DestroySpaceEvent holds one, so a request that
// outlives its space can never match a newer space that happens to reuse its memory.
// Game thread only.
#pragma once

#include <memory>

namespace volleyrun {

class Space;

class SpaceRef {
public:
    SpaceRef() = default;
    explicit SpaceRef(std::shared_ptr<Space*> handle) : handle_(std::move(handle)) {}

    // The space, or null when it was freed (or the ref was never set).
    Space* Get() const { return handle_ ? *handle_ : nullptr; }
    explicit operator bool() const { return Get() != nullptr; }
    // Both link the same space, live or freed (never one that reused its memory).
    bool SameAs(const SpaceRef& other) const { return handle_ && handle_ == other.handle_; }

private:
    std::shared_ptr<Space*> handle_;  // shared with the space, which nulls it as it dies
};

} // namespace volleyrun
