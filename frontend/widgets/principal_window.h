// The window the wizard writes its text into: the main window, whose
// principal document window holds that text.
#pragma once

#include "frontend/widgets/main_window.h"

namespace orv::frontend {

using PrincipalWindow = MainWindow;

}  // namespace orv::frontend
