#include "stub.h"

namespace volleyrun {


} // namespace volleyrun
