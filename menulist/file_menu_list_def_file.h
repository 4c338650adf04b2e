#pragma once

#include <cstdint>

#include "platform/worker_thread.h"

namespace tqm {

// Thread message to the menu-list thread: build the list (posted by its start).
inline constexpr MessageId UWM_MENU_LOAD = 0x8106;

// The menu-list thread: on UWM_MENU_LOAD it fills the menu list of the
// transceiver state from the built-in table and posts UWM_THREAD_QUIT to itself;
// on UWM_THREAD_QUIT it announces the finished list (menuListReady := 1) and ends.
class File_MenuListDefFile final : public MappedWorkerThread<File_MenuListDefFile> {
public:
    File_MenuListDefFile();

private:
    void onMenuLoad(const Message& message);
    void onThreadQuit(const Message& message);

    std::uint8_t m_loadedFromFile = 0;  // 0: the list came from the built-in table; thread only
    bool m_listBuilt = false;           // thread only

public:
    static constexpr MessageMapEntry s_messageMap[] = {
        {UWM_MENU_LOAD, &File_MenuListDefFile::onMenuLoad},
        {UWM_THREAD_QUIT, &File_MenuListDefFile::onThreadQuit},
    };
};

}  // namespace tqm
