#pragma once

#include "platform/messages.h"

// The main window's own message numbers.
namespace tqm {

// Sent by a step button to the main window and handled at once (wParam: the button's
// code, lParam: 1 pressed, 0 released).
inline constexpr MessageId UWM_BUTTON_EVENT = 0x85DA;

}  // namespace tqm
