#pragma once

#include <cstdint>

// The message mechanism: a message number and its two parameters, as they travel
// through a worker thread's queue or to the main window. The numbers themselves
// belong to the layer that defines them (protocol/protocol_messages.h,
// serial/serial_messages.h, the menu-list thread, the window); only the one every
// worker thread understands is here.
namespace tqm {

using MessageId = std::uint32_t;

// Every message number lies above this one. Messages carry wParam 0 and lParam 0
// unless their receiver says otherwise.
inline constexpr MessageId WM_APP = 0x8000;

// Ends a worker thread; every worker thread's message map handles it.
inline constexpr MessageId UWM_THREAD_QUIT = 0x8105;

// One message as it travels through a worker thread's queue or to the window.
struct Message {
    MessageId id = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

}  // namespace tqm
