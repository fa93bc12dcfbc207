// Being written.
#include "runtime/units.h"
