#include "scorecounter.h"
