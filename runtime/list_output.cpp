// Being written.
#include "runtime/list_io.h"
