#pragma once

#include <cstdint>
#include <string_view>

#include "tqm_version.h"

namespace tqm {

// The texts shown to the operator, keyed by their resource ids. Ids inside the
// range without a text (105, 107, 109, 112) have none on purpose.
struct StringEntry {
    std::int32_t id;
    std::string_view text;
};

inline constexpr std::int32_t IDS_INPUT_RANGE = 104;
inline constexpr std::int32_t IDS_PORT_OPEN_FAILED = 106;
inline constexpr std::int32_t IDS_COM_FILE_UNREADABLE = 108;
inline constexpr std::int32_t IDS_CONNECTING = 110;
inline constexpr std::int32_t IDS_CONNECT_FAILED = 111;
inline constexpr std::int32_t IDS_VERSION = 113;
inline constexpr std::int32_t IDS_VERSION_NOTICE = 114;
inline constexpr std::int32_t IDS_PORT_PROBE_FAILED = 115;
inline constexpr std::int32_t IDS_SAVE_FAILED = 116;

inline constexpr StringEntry kStringTable[] = {
    {IDS_INPUT_RANGE, "The input range is incorrect."},
    {IDS_PORT_OPEN_FAILED, "Failed to open the port.\nPlease confirm the port connection."},
    {IDS_COM_FILE_UNREADABLE,
     "Failed to read the COM port configuration file.\n"
     "Execute the control program with the default settings."},
    {IDS_CONNECTING, "Connecting the COM port now."},
    {IDS_CONNECT_FAILED, "Failed to connect the COM port."},
    // Two blanks before the number, which is the project version (CMakeLists.txt).
    {IDS_VERSION, "TQM-4700 Parametric Equalizer Control Version  " TQM_VERSION},
    {IDS_VERSION_NOTICE, "Control program for the ZR-4700 microphone equalizer."},
    {IDS_PORT_PROBE_FAILED, "Failed to open the port."},
    {IDS_SAVE_FAILED, "The setting file could not be saved."},
};

// The main window's caption, which is also the title of every message box.
inline constexpr std::string_view kWindowTitle = "TQM-4700 Parametric Equalizer Control";

// The text of a string id, or an empty view for an id without one.
constexpr std::string_view loadString(std::int32_t id) {
    for (const auto& entry : kStringTable) {
        if (entry.id == id) return entry.text;
    }
    return {};
}

}  // namespace tqm
