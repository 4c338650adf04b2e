#pragma once

#include <filesystem>
#include <ostream>
#include <string>

#include "app/ctl/ctl_command_line.h"

namespace tqm {

// The port and speed a command uses: the window's port settings and port map from the
// settings folder, then the command line over them.
struct LinkSettings {
    std::filesystem::path settingsDir;
    int port = 1;
    int baud = 4800;
    std::string error;  // why the settings cannot be used (a --device the port map refuses)
};

// Blocks on reading CommoFiles/CommSetting.csv and CommoFiles/PortMap.csv under the
// settings folder (--settings-dir, or the window's). Sets the
// process-wide port map, --device included; leaves the serial port initialised with
// the port and speed found. Problems with the files are warnings on warn.
LinkSettings loadLinkSettings(const CtlOptions& options, std::ostream& warn, bool quiet);

}  // namespace tqm
