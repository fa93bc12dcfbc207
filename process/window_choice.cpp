#include "process/window_choice.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace orv::proc {

bool window_possible() {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

std::string run_beside(const char* name, char** argv) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return "the program's own path is unknown (" + error.message() + ")";
    const std::string path = (self.parent_path() / name).string();
    ::execv(path.c_str(), argv);
    return path + ": " + std::strerror(errno);
}

}  // namespace orv::proc
