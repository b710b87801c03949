#include "beattime.h"

namespace volleyrun {

BeatTime BeatTime::AddSixteenths(int32_t sixteenths) const
{
    BeatTime sum(bar, sixteenth + sixteenths, tick);
    if (sum.sixteenth >= kSixteenthsPerBar) {
        sum.sixteenth -= kSixteenthsPerBar;
        ++sum.bar;
    }
    return sum;
}

} // namespace volleyrun
