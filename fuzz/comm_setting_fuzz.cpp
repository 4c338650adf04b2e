#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "serial/comm_setting_file.h"
#include "serial/sio_port.h"

// Reads arbitrary bytes as the port settings file:
// - whatever the file holds, the port afterwards is one of COM1..COM20 at one of the
//   four line speeds, and a shown set that comes out is 0, 1 or 2;
// - an unreadable or oversized file gives COM1, 4800 baud and set 0;
// - a file that was read hands its leading cells, in order, to the port number, the
//   baud rate and the shown set; a value the port does not take becomes its default;
//   what the file does not hold leaves the port as it was;
// - the settings that came out, written in the file format and read again, come back;
// - a file whose first line is "n,n,n" (digits only) is read with exactly those numbers.

namespace tqm {
namespace {

// Not the defaults, so that "left as it was" can be told from "set to the default".
constexpr int kPortBefore = 7;
constexpr int kBaudBefore = 19200;

// A directory of its own with the CommoFiles folder, made once and removed at exit.
class SettingsDirectory final {
public:
    SettingsDirectory() {
        char pattern[] = "/tmp/tqm-fuzz-comm-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) return;
        m_base = pattern;
        std::error_code error;
        std::filesystem::create_directory(m_base / CommSettingFile::kDirectoryName, error);
        if (error) m_base.clear();
    }
    ~SettingsDirectory() {
        std::error_code error;
        if (!m_base.empty()) std::filesystem::remove_all(m_base, error);
    }
    SettingsDirectory(const SettingsDirectory&) = delete;
    SettingsDirectory& operator=(const SettingsDirectory&) = delete;

    const std::filesystem::path& base() const { return m_base; }
    bool write(std::string_view text) const {
        const std::filesystem::path file = m_base / CommSettingFile::kDirectoryName / CommSettingFile::kFileName;
        // A new file each time: rewriting a truncated file makes some file systems
        // flush it on close, which slows every run down to the disk.
        ::unlink(file.c_str());
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) return false;
        std::size_t written = 0;
        while (written < text.size()) {
            const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
            if (n <= 0) break;
            written += static_cast<std::size_t>(n);
        }
        ::close(fd);
        return written == text.size();
    }

private:
    std::filesystem::path m_base;
};

bool validPort(int port) { return port >= 1 && port <= 20; }
bool validBaud(int baud) { return baud == 4800 || baud == 9600 || baud == 19200 || baud == 38400; }

struct Outcome {
    CommSettingRead result;
    int port;
    int baud;
    CommSettingShownSet shown;
};

Outcome readSettings(const SettingsDirectory& directory) {
    Sio_Port port;
    port.setPortNumber(kPortBefore);
    port.setBaudRate(kBaudBefore);
    CommSettingShownSet shown;
    const CommSettingRead result = CommSettingFile::load(directory.base(), shown);
    return {result, port.portNumber(), port.baudRate(), shown};
}

// The three numbers of a first line "n,n,n" (one to five digits each, ended by LF or
// CR LF); false for any other file.
bool plainFirstLine(std::string_view text, std::int32_t (&numbers)[3]) {
    std::size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        std::int32_t value = 0;
        std::size_t digits = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 6) {
            value = value * 10 + (text[at++] - '0');
            ++digits;
        }
        if (digits == 0 || digits > 5) return false;
        numbers[i] = value;
        if (i < 2 && (at >= text.size() || text[at++] != ',')) return false;
    }
    if (at < text.size() && text[at] == '\r') ++at;
    return at < text.size() && text[at] == '\n';
}

void checkRead(const Outcome& outcome, const CommSettingCells& cells) {
    const int expectedPort = cells.count > 0 ? (validPort(cells.values[0]) ? cells.values[0] : 1) : kPortBefore;
    const int expectedBaud = cells.count > 1 ? (validBaud(cells.values[1]) ? cells.values[1] : 4800) : kBaudBefore;
    if (outcome.port != expectedPort || outcome.baud != expectedBaud) __builtin_trap();
    if (outcome.shown.present != (cells.count > 2)) __builtin_trap();
    if (outcome.shown.present) {
        const std::int32_t set = cells.values[2];
        if (outcome.shown.value != (set >= 0 && set <= 2 ? set : 0)) __builtin_trap();
    }
}

}  // namespace
}  // namespace tqm

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tqm;
    static const SettingsDirectory s_directory;
    if (s_directory.base().empty()) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!s_directory.write(text)) return 0;

    const Outcome outcome = readSettings(s_directory);
    if (!validPort(outcome.port) || !validBaud(outcome.baud)) __builtin_trap();
    if (outcome.shown.present && (outcome.shown.value < 0 || outcome.shown.value > 2)) __builtin_trap();

    CommSettingCells cells;
    const CommSettingRead parsed =
        CommSettingFile::parse(s_directory.base() / CommSettingFile::kDirectoryName / CommSettingFile::kFileName, cells);
    if (parsed != outcome.result) __builtin_trap();
    if (size > CommSettingFile::kMaxFileBytes && outcome.result != CommSettingRead::Unreadable) __builtin_trap();

    if (outcome.result == CommSettingRead::Unreadable) {
        if (outcome.port != 1 || outcome.baud != 4800 || !outcome.shown.present || outcome.shown.value != 0)
            __builtin_trap();
    } else if (outcome.result == CommSettingRead::Read) {
        checkRead(outcome, cells);
    } else {
        __builtin_trap();  // the directory's path is short
    }

    std::int32_t numbers[3];
    if (size <= CommSettingFile::kMaxFileBytes && plainFirstLine(text, numbers)) {
        if (outcome.result != CommSettingRead::Read || cells.count != 3) __builtin_trap();
        for (int i = 0; i < 3; ++i) {
            if (cells.values[i] != numbers[i]) __builtin_trap();
        }
    }

    // What came out is a complete setting: written and read again, it stays.
    if (outcome.shown.present) {
        if (!s_directory.write(CommSettingFile::format(outcome.port, outcome.baud, outcome.shown.value))) return 0;
        const Outcome again = readSettings(s_directory);
        if (again.result != CommSettingRead::Read || again.port != outcome.port || again.baud != outcome.baud ||
            !again.shown.present || again.shown.value != outcome.shown.value)
            __builtin_trap();
    }
    return 0;
}
