#include <cstdint>
#include <filesystem>
#include <tuple>

#include "fuzz/fuzz_file.h"
#include "serial/comm_setting_file.h"
#include "serial/sio_port.h"

// Reads arbitrary bytes as the port settings file: whatever it holds, the port
// afterwards is one of COM1..COM20 at one of the four line speeds with a shown set of
// 0..2, and those settings, written in the file format and read again, come back.

namespace tqm {
namespace {

using Settings = std::tuple<std::int32_t, std::int32_t, std::int32_t>;  // port, baud, shown set

// Writes the file and loads it: false when it cannot be written, else whether the
// result is a valid, complete setting (kept in out).
bool loaded(std::string_view text, Settings& out, bool& valid) {
    const auto name = std::filesystem::path(CommSettingFile::kDirectoryName) / CommSettingFile::kFileName;
    if (fuzz::writeFuzzFile(name, text).empty()) return false;
    CommSettingShownSet shown;
    const bool read = CommSettingFile::load(fuzz::fuzzDirectory(), shown) != CommSettingRead::PathTooLong;
    const Sio_Port port;
    out = {port.portNumber(), port.baudRate(), shown.present ? shown.value : 0};
    const auto [number, baud, set] = out;
    valid = read && number >= 1 && number <= 20 && set >= 0 && set <= 2 &&
            (baud == 4800 || baud == 9600 || baud == 19200 || baud == 38400);
    return true;
}

}  // namespace
}  // namespace tqm

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tqm;
    Settings first, again;
    bool valid = false;
    if (!loaded(fuzz::bytesOf(data, size), first, valid)) return 0;
    if (!valid) __builtin_trap();
    if (!loaded(std::apply(CommSettingFile::format, first), again, valid)) return 0;
    if (!valid || again != first) __builtin_trap();
    return 0;
}
