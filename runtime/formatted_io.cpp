#include "runtime/formatted_io.h"
