#pragma once

#include <array>
#include <cstdint>

namespace tqm {

// One failure notice that UWM_COM_FAILED selects by its lParam.
struct NoticeRow {
    std::int32_t show;
    const char* logText;
    std::int32_t stringId;
};

inline constexpr int kNoticePortOpen = 0;
inline constexpr int kNoticeMenuFile = 1;
inline constexpr int kNoticeCommSettings = 2;
inline constexpr int kNoticeConnectFailed = 3;

inline constexpr std::array<NoticeRow, 4> kNoticeTable = {{
    {1, "Port opening failure.\nPlease confirm the port.", 106},
    {0, "The menu configuration file was not able to be read.\nIt starts by the default setting.", 107},
    {1, "The COM configuration file was not able to be read.\nIt starts by the default setting.", 108},
    {1, "Failed to connect the COM port.", 111},
}};

}  // namespace tqm
