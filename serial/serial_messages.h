#pragma once

#include "platform/messages.h"

// The message numbers of the serial layer.
namespace tqm {

// Thread message to the serial receive thread: poll the port (each tick of its timer).
inline constexpr MessageId UWM_SIO_POLL = 0x8104;

// Window message to the main window: the port failed to open (wParam: 1 forces the
// notice, lParam: the notice's row). The window receives it, but the port posts it,
// so it is defined at the port's layer: the window lies above.
inline constexpr MessageId UWM_COM_FAILED = 0x8109;

}  // namespace tqm
