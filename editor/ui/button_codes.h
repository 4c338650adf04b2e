#pragma once

#include <cstdint>

#include "platform/messages.h"

namespace tqm {

// Sent by a step button to the main window and handled at once (wParam: the button's
// code, lParam: 1 pressed, 0 released).
inline constexpr MessageId UWM_BUTTON_EVENT = 0x85DA;

// The codes the main window's buttons send with UWM_BUTTON_EVENT: 4..21 step a value
// (the step rules), 22..27 are the command buttons.
inline constexpr std::int32_t kCancelCode = 22;
inline constexpr std::int32_t kExitCode = 23;
inline constexpr std::int32_t kApplyCode = 24;
inline constexpr std::int32_t kComCode = 25;
inline constexpr std::int32_t kFileLoadCode = 26;
inline constexpr std::int32_t kFileSaveCode = 27;
inline constexpr std::int32_t kFirstCommandCode = kCancelCode;

}  // namespace tqm
