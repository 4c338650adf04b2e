#include "menulist/file_menu_list_def_file.h"

#include "menulist/default_menu_list.h"
#include "protocol/trx_state.h"

namespace tqm {

File_MenuListDefFile::File_MenuListDefFile() : MappedWorkerThread("tqm-menu-list") {}

void File_MenuListDefFile::onMenuLoad(const Message&) {
    Trx_StateGuard state;
    state.set(StateField::MenuCount, kDefaultMenuItemCount);
    MenuItemRecord record;
    for (int n = 1; n <= kDefaultMenuItemCount; ++n) {
        if (defaultMenuItem(n, record)) state.storeMenuRecord(n, &record);
    }
    m_loadedFromFile = 0;
    m_listBuilt = true;
    post(UWM_THREAD_QUIT);
}

void File_MenuListDefFile::onThreadQuit(const Message&) {
    // The serial threads start working once the flag is up, so it is raised only
    // for a complete list; a thread told to quit before it was asked to load
    // leaves the flag down.
    if (m_listBuilt) Trx_StateGuard().setMenuListReady(1);
    // A list taken from the built-in table is used silently: the notice for it
    // is switched off.
    endThread();
}

}  // namespace tqm
