#include "runtime/format.h"
