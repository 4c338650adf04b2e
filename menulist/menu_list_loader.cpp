#include "menulist/menu_list_loader.h"

#include <chrono>
#include <memory>
#include <thread>

#include "menulist/file_menu_list_def_file.h"
#include "platform/thread_directory.h"
#include "protocol/trx_state.h"

namespace tqm {

namespace {

constexpr auto kLoadDelay = std::chrono::milliseconds(10);

// A menu-list thread from an earlier start may still be finishing its build; it
// must not raise menuListReady after this start has lowered it.
void retireEarlierThread(ThreadDirectory& directory) {
    std::shared_ptr<WorkerThread> earlier = directory.find(WorkerRole::MenuList);
    if (!earlier || !earlier->isAlive()) return;
    earlier->stop();
    Trx_StateGuard().setMenuListReady(0);
}

}  // namespace

void startMenuListThread() {
    ThreadDirectory directory;
    retireEarlierThread(directory);
    auto worker = std::make_shared<File_MenuListDefFile>();
    if (!directory.startAs(WorkerRole::MenuList, worker)) return;
    std::this_thread::sleep_for(kLoadDelay);
    worker->post(UWM_MENU_LOAD);
}

}  // namespace tqm
