#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "serial/comm_setting_file.h"
#include "serial/sio_port.h"

// Reads arbitrary bytes as the port settings file: whatever it holds, the port
// afterwards is one of COM1..COM20 at one of the four line speeds with a shown set of
// 0..2, and those settings, written in the file format and read again, come back.

namespace tqm {
namespace {

// A directory of its own with the CommoFiles folder, made once and removed at exit.
class SettingsDirectory final {
public:
    SettingsDirectory() {
        char pattern[] = "/tmp/tqm-fuzz-comm-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) return;
        m_base = pattern;
        std::error_code error;
        if (!std::filesystem::create_directory(m_base / CommSettingFile::kDirectoryName, error)) m_base.clear();
    }
    ~SettingsDirectory() {
        std::error_code error;
        if (!m_base.empty()) std::filesystem::remove_all(m_base, error);
    }
    SettingsDirectory(const SettingsDirectory&) = delete;
    SettingsDirectory& operator=(const SettingsDirectory&) = delete;

    const std::filesystem::path& base() const { return m_base; }
    // A new file each time: rewriting a truncated one makes some file systems flush
    // it on close, which slows every run down to the disk.
    bool write(std::string_view text) const {
        const std::filesystem::path file = m_base / CommSettingFile::kDirectoryName / CommSettingFile::kFileName;
        ::unlink(file.c_str());
        std::ofstream out(file, std::ios::binary);
        return static_cast<bool>(out.write(text.data(), static_cast<std::streamsize>(text.size())));
    }

private:
    std::filesystem::path m_base;
};

struct Settings {
    int port;
    int baud;
    int shown;
};

// Loads the file; false when the result is not a valid, complete setting.
bool load(const SettingsDirectory& directory, Settings& out) {
    CommSettingShownSet shown;
    if (CommSettingFile::load(directory.base(), shown) == CommSettingRead::PathTooLong) return false;
    const Sio_Port port;
    out = {port.portNumber(), port.baudRate(), shown.present ? shown.value : 0};
    const bool validBaud = out.baud == 4800 || out.baud == 9600 || out.baud == 19200 || out.baud == 38400;
    return out.port >= 1 && out.port <= 20 && validBaud && out.shown >= 0 && out.shown <= 2;
}

}  // namespace
}  // namespace tqm

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tqm;
    static const SettingsDirectory s_directory;
    if (s_directory.base().empty() || !s_directory.write({reinterpret_cast<const char*>(data), size})) return 0;
    Settings first{};
    if (!load(s_directory, first)) __builtin_trap();
    if (!s_directory.write(CommSettingFile::format(first.port, first.baud, first.shown))) return 0;
    Settings again{};
    if (!load(s_directory, again) || again.port != first.port || again.baud != first.baud || again.shown != first.shown)
        __builtin_trap();
    return 0;
}
