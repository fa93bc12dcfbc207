// Being written.
#include "runtime/terminal_host.h"
