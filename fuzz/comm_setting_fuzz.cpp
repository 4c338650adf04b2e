#include <cstdint>
#include <filesystem>

#include "fuzz/fuzz_file.h"
#include "serial/comm_setting_file.h"
#include "serial/sio_port.h"

// Reads arbitrary bytes as the port settings file: whatever it holds, the port
// afterwards is one of COM1..COM20 at one of the four line speeds with a shown set of
// 0..2, and those settings, written in the file format and read again, come back.

namespace tqm {
namespace {

struct Settings {
    int port = 0;
    int baud = 0;
    int shown = 0;
    bool operator==(const Settings&) const = default;
};

// Writes the file and loads it: false when it cannot be written, else whether the
// result is a valid, complete setting (kept in out).
bool loaded(std::string_view text, Settings& out, bool& valid) {
    const auto name = std::filesystem::path(CommSettingFile::kDirectoryName) / CommSettingFile::kFileName;
    if (fuzz::writeFuzzFile(name, text).empty()) return false;
    CommSettingShownSet shown;
    valid = CommSettingFile::load(fuzz::fuzzDirectory(), shown) != CommSettingRead::PathTooLong;
    const Sio_Port port;
    out = {port.portNumber(), port.baudRate(), shown.present ? shown.value : 0};
    const bool validBaud = out.baud == 4800 || out.baud == 9600 || out.baud == 19200 || out.baud == 38400;
    valid = valid && out.port >= 1 && out.port <= 20 && validBaud && out.shown >= 0 && out.shown <= 2;
    return true;
}

}  // namespace
}  // namespace tqm

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tqm;
    Settings first;
    Settings again;
    bool valid = false;
    if (!loaded(fuzz::bytesOf(data, size), first, valid)) return 0;
    if (!valid) __builtin_trap();
    if (!loaded(CommSettingFile::format(first.port, first.baud, first.shown), again, valid)) return 0;
    if (!valid || !(again == first)) __builtin_trap();
    return 0;
}
