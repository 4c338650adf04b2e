#include "app/ctl/link_settings.h"

#include <system_error>

#include "platform/settings_folder.h"
#include "serial/comm_setting_file.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"

namespace tqm {
namespace {

// The window's settings folder, or the one of --settings-dir.
std::filesystem::path settingsFolder(const CtlOptions& options) {
    SettingsFolder folder;
    folder.choose(options.settingsDir);
    return folder.path();
}

}  // namespace

LinkSettings loadLinkSettings(const CtlOptions& options, std::ostream& warn, bool quiet) {
    LinkSettings settings;
    settings.settingsDir = settingsFolder(options);
    const std::filesystem::path commo = settings.settingsDir / CommSettingFile::kDirectoryName;

    PortMap portMap;
    portMap.reset();
    std::error_code ignored;
    if (std::filesystem::exists(commo / PortMap::kFileName, ignored)) portMap.loadFile(commo / PortMap::kFileName);
    for (const std::string& line : portMap.warnings()) {
        if (!quiet) warn << kCtlProgramName << ": " << line << '\n';
    }

    Sio_Port port;
    port.initialise();
    CommSettingShownSet shownSet;
    const CommSettingRead read = CommSettingFile::load(settings.settingsDir, shownSet);
    if (read != CommSettingRead::Read && std::filesystem::exists(commo / CommSettingFile::kFileName, ignored) && !quiet) {
        warn << kCtlProgramName << ": " << (commo / CommSettingFile::kFileName).string()
             << " cannot be read; using COM1 at 4800 baud\n";
    }
    settings.port = options.port.value_or(port.portNumber());
    settings.baud = options.baud.value_or(port.baudRate());
    port.setPortNumber(settings.port);
    port.setBaudRate(settings.baud);
    if (!options.device.empty() && !portMap.setOverride(settings.port, options.device)) {
        settings.error = "the device path '" + options.device + "' cannot be used";
    }
    return settings;
}

}  // namespace tqm
