// Being written.
#include "runtime/edit_output.h"
