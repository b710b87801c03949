#include "scorecounter.h"

namespace volleyrun {


} // namespace volleyrun
