// Retirement<T>: things taken out of play while code of their own may still be on the stack
// (an entity or a space destroyed from inside one of its handlers, a listener removed while
// its manager delivers). They are kept, inert, until that code has returned, then freed.
// Owned by whatever held the things (a space, the engine, an event manager), which says when
// to look again. Game thread only.
#pragma once

#include <algorithm>
#include <memory>
#include <vector>

namespace volleyrun {

template <class T>
class Retirement {
public:
    // Frees doomed at once when none of its code runs (T::Busy); else stops it (T::Detach)
    // and keeps it for Collect.
    void Retire(std::unique_ptr<T> doomed)
    {
        if (!doomed->Busy()) return;
        doomed->Detach();
        kept_.push_back(std::move(doomed));
    }
    // Keeps doomed until FreeAll: for things that cannot tell whether they are busy, whose
    // owner knows when nothing of theirs runs.
    void Keep(std::unique_ptr<T> doomed) { kept_.push_back(std::move(doomed)); }
    // Frees every retired thing whose code has returned.
    void Collect() { std::erase_if(kept_, [](const std::unique_ptr<T>& kept) { return !kept->Busy(); }); }
    void FreeAll() { kept_.clear(); }
    bool Empty() const { return kept_.empty(); }

private:
    std::vector<std::unique_ptr<T>> kept_;
};

} // namespace volleyrun
