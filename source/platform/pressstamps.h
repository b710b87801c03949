// PressStamps: the input devices' recent stamped records, and the lookup that gives a press
// the window system (or the replay) reported the instant the device stamped on it. The game
// thread adds every record it pops from the input-device reader and asks Match for each key
// or pad-button change it handles; a change with no record keeps its arrival instant. Pure
// bookkeeping on the game thread.
#pragma once

#include "stampedpress.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace volleyrun {

class PressStamps {
public:
    static constexpr int64_t kKeepNs = 500'000'000;      // records older than this are forgotten
    static constexpr int64_t kLookBackNs = 250'000'000;  // the oldest record a press may take
    // A record may be stamped this much after the arrival it matches: the two clocks are read
    // on different threads.
    static constexpr int64_t kToleranceNs = 1'000'000;

    void Add(const StampedPress& press);
    // The stamp of the oldest unused record of this kind, code and action stamped between
    // arrival - kLookBackNs and arrival + kToleranceNs, and uses it up. Pad records match
    // only a pad of that name, unless padName is empty.
    std::optional<int64_t> Match(PressKind kind, int code, int action, int64_t arrival,
                                 const std::string& padName = "");
    size_t Size() const { return records_.size(); }

private:
    bool Fits(const StampedPress& record, PressKind kind, int code, int action,
              const std::string& padName) const;
    void Forget(int64_t now);

    std::deque<StampedPress> records_;  // unused, in the order they were added
};

} // namespace volleyrun
