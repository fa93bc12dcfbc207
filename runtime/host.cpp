// Being written.
#include "runtime/host.h"
