// The commands that need no transceiver: ports and check.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/ctl/ctl_commands.h"
#include "app/ctl/equalizer_text.h"
#include "app/ctl/link_settings.h"
#include "editor/setting_file.h"
#include "editor/string_table.h"
#include "serial/port_map.h"

namespace tqm {
namespace {

constexpr int kFirstCom = 1;
constexpr int kLastCom = 20;

// The serial devices found on the machine, each as "path" or "link -> device".
// Device discovery lives here alone: the Ports dialog's discovery takes its place.
std::vector<std::string> foundSerialDevices() {
    namespace fs = std::filesystem;
    std::vector<std::string> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/dev/serial/by-id", error)) {
        const fs::path target = fs::canonical(entry.path(), error);
        found.push_back(entry.path().string() + (error ? std::string() : " -> " + target.string()));
    }
    std::sort(found.begin(), found.end());
    return found;
}

void writePortsText(std::ostream& out, int current, const std::vector<std::string>& found) {
    const PortMap portMap;
    for (int n = kFirstCom; n <= kLastCom; ++n) {
        char line[64];
        std::snprintf(line, sizeof line, "%c COM%-2d  %-8s ", n == current ? '*' : ' ', n,
                      portMap.deviceExists(n) ? "present" : "missing");
        out << line << portMap.path(n) << '\n';
    }
    out << "serial devices found:" << (found.empty() ? " none" : "") << '\n';
    for (const std::string& device : found) out << "  " << device << '\n';
}

void writePortsJson(std::ostream& out, int current, const std::vector<std::string>& found) {
    const PortMap portMap;
    out << "{\"current\":" << current << ",\"ports\":[";
    for (int n = kFirstCom; n <= kLastCom; ++n) {
        out << (n > kFirstCom ? "," : "") << "{\"com\":" << n << ",\"device\":" << jsonString(portMap.path(n))
            << ",\"present\":" << (portMap.deviceExists(n) ? "true" : "false") << '}';
    }
    out << "],\"found\":[";
    for (std::size_t i = 0; i < found.size(); ++i) out << (i > 0 ? "," : "") << jsonString(found[i]);
    out << "]}\n";
}

}  // namespace

int runPorts(const CtlContext& context) {
    const LinkSettings settings = loadLinkSettings(context.options, context.err, context.options.quiet);
    if (!settings.error.empty()) {
        tell(context.err, settings.error);
        return kCtlExitUsage;
    }
    const std::vector<std::string> found = foundSerialDevices();
    if (context.options.format == CtlFormat::Json) {
        writePortsJson(context.out, settings.port, found);
    } else {
        writePortsText(context.out, settings.port, found);
    }
    context.out.flush();
    return kCtlExitDone;
}

int runCheck(const CtlContext& context) {
    const std::string& path = context.options.arguments.front();
    EqualizerValues values;
    std::string reason;
    if (!SettingFile::check(path, values, reason)) {
        tell(context.err, std::string(loadString(IDS_INPUT_RANGE)) + "\n" + path + ": " + reason);
        return kCtlExitRefused;
    }
    if (context.options.format == CtlFormat::Json) {
        context.out << "{\"values\":" << setJson(values) << "}\n";
    } else {
        writeSets(context.out, {SetValues{-1, values}}, context.options.format);
    }
    context.out.flush();
    return kCtlExitDone;
}

}  // namespace tqm
