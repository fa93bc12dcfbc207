// The process's window host and the host-independent part of Host.
#include "runtime/host.h"

#include "runtime/terminal_host.h"

namespace orv::rt {

namespace {

Host* installed = nullptr;

Host& default_host() {
    static TerminalHost terminal({}, stdin, stdout);
    return terminal;
}

}  // namespace

int Host::set_end_mode(int mode) {
    if (mode < static_cast<int>(EndMode::Prompt) || mode > static_cast<int>(EndMode::Stay)) return -1;
    end_mode_ = static_cast<EndMode>(mode);
    return 0;
}

Host& host() { return installed != nullptr ? *installed : default_host(); }

void set_host(Host* h) { installed = h; }

}  // namespace orv::rt
