// Being written.
#include "runtime/records.h"
