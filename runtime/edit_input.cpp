// Being written.
#include "runtime/edit_input.h"
