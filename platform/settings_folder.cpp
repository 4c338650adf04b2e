#include "platform/settings_folder.h"

#include <cstdlib>
#include <mutex>
#include <system_error>

namespace tqm {
namespace {

struct FolderState {
    std::mutex mutex;
    std::filesystem::path chosen;
};

FolderState& state() {
    static FolderState* s_state = new FolderState;  // outlives every thread
    return *s_state;
}

// A variable that is set, not empty and an absolute path.
bool absoluteVariable(const char* name, std::filesystem::path& value) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text != '/') return false;
    value = text;
    return true;
}

}  // namespace

std::filesystem::path SettingsFolder::standardPath() {
    std::filesystem::path configHome;
    if (!absoluteVariable("XDG_CONFIG_HOME", configHome)) {
        std::filesystem::path home;
        configHome = absoluteVariable("HOME", home) ? home / ".config" : std::filesystem::path(".config");
    }
    return configHome / kAppDirectory;
}

std::filesystem::path SettingsFolder::path() const {
    FolderState& s = state();
    {
        std::lock_guard lock(s.mutex);
        if (!s.chosen.empty()) return s.chosen;
    }
    return standardPath();
}

void SettingsFolder::choose(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::path absolute = folder.empty() ? folder : std::filesystem::absolute(folder, error);
    if (error) absolute = folder;
    FolderState& s = state();
    std::lock_guard lock(s.mutex);
    s.chosen = absolute.lexically_normal();
}

}  // namespace tqm
