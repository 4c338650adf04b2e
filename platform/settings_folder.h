#pragma once

#include <filesystem>

namespace tqm {

// The folder that holds CommoFiles/ with the port settings and the port map, in
// place of the Windows program's current directory: $XDG_CONFIG_HOME/tqm4700-peq
// (XDG_CONFIG_HOME defaults to ~/.config; a relative value is ignored, as the base
// directory rules ask), or the folder chosen for the run (--settings-dir).
// Data-less access object to the process-wide choice; any thread may read it.
class SettingsFolder final {
public:
    static constexpr const char* kAppDirectory = "tqm4700-peq";

    // The standard folder from the environment, whatever is chosen.
    static std::filesystem::path standardPath();

    // The chosen folder, else the standard one.
    std::filesystem::path path() const;
    // Uses folder for the rest of the run (made absolute against the current
    // directory now, so a later change of directory does not move it); an empty
    // path goes back to the standard folder.
    void choose(const std::filesystem::path& folder);
};

}  // namespace tqm
