#pragma once

namespace tqm {

// Starts the menu-list thread, files it in the ThreadDirectory as
// WorkerRole::MenuList and asks it to build the list. Blocks about 10 ms (the
// pause before the build request) and, if an earlier menu-list thread still runs,
// until that one has ended. Installed as Trx_StateGuard's menu loader start.
void startMenuListThread();

}  // namespace tqm
