#include "pressstamps.h"

namespace volleyrun {

void PressStamps::Add(const StampedPress& press)
{
    Forget(press.nanoseconds);
    records_.push_back(press);
}

std::optional<int64_t> PressStamps::Match(PressKind kind, int code, int action, int64_t arrival,
                                          const std::string& padName)
{
    Forget(arrival);
    auto best = records_.end();
    for (auto it = records_.begin(); it != records_.end(); ++it) {
        if (!Fits(*it, kind, code, action, padName)) continue;
        if (it->nanoseconds > arrival + kToleranceNs || it->nanoseconds < arrival - kLookBackNs) continue;
        // Two devices' records may interleave out of order: the oldest wins, not the first.
        if (best == records_.end() || it->nanoseconds < best->nanoseconds) best = it;
    }
    if (best == records_.end()) return std::nullopt;
    int64_t stamp = best->nanoseconds;
    records_.erase(best);
    return stamp;
}

bool PressStamps::Fits(const StampedPress& record, PressKind kind, int code, int action,
                       const std::string& padName) const
{
    if (record.kind != kind || record.code != code || record.action != action) return false;
    return kind != PressKind::kPadButton || padName.empty() || record.deviceName == padName;
}

void PressStamps::Forget(int64_t now)
{
    std::erase_if(records_, [now](const StampedPress& record) { return record.nanoseconds < now - kKeepNs; });
}

} // namespace volleyrun
