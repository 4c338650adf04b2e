#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "menulist/default_menu_list.h"
#include "menulist/menu_list_loader.h"
#include "platform/thread_directory.h"
#include "protocol/trx_state.h"
#include "tests/support/child_process.h"

namespace tqm {
namespace {

bool waitUntil(const std::function<bool()>& predicate) {
    return test::waitUntil(predicate, std::chrono::seconds(10));
}

bool isZero(const MenuItemRecord& record) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
    return std::all_of(bytes, bytes + sizeof record, [](unsigned char b) { return b == 0; });
}

// Reads every slot, valid or not: widens menuCount for the look and restores it.
template <class Visit>
void forEverySlot(Visit visit) {
    Trx_StateGuard state;
    const std::int32_t count = state.get(StateField::MenuCount);
    state.set(StateField::MenuCount, kMenuSlots);
    MenuItemRecord record;
    for (int n = 1; n <= kMenuSlots; ++n) {
        ASSERT_TRUE(state.copyMenuRecord(n, record)) << n;
        visit(n, record);
    }
    state.set(StateField::MenuCount, count);
}

class MenuListThread : public ::testing::Test {
protected:
    void SetUp() override {
        ThreadDirectory().stop(WorkerRole::MenuList);
        ThreadDirectory().detach(WorkerRole::MenuList);
        Trx_StateGuard::setMenuLoaderStart(nullptr);
        Trx_StateGuard state;
        state.initialise();
        // Empty every slot, so that nothing an earlier build left can pass for this one.
        state.set(StateField::MenuCount, kMenuSlots);
        MenuItemRecord empty;
        std::memset(&empty, 0, sizeof empty);
        for (int n = 1; n <= kMenuSlots; ++n) ASSERT_TRUE(state.storeMenuRecord(n, &empty));
        state.initialise();
    }
    void TearDown() override {
        Trx_StateGuard::setMenuLoaderStart(nullptr);
        ThreadDirectory().stop(WorkerRole::MenuList);
        ThreadDirectory().detach(WorkerRole::MenuList);
    }

    static bool menuThreadEnded() { return !ThreadDirectory().isAlive(WorkerRole::MenuList); }
};

TEST_F(MenuListThread, InitialisationBuildsTheListAndTheThreadEndsByItself) {
    Trx_StateGuard::setMenuLoaderStart(&startMenuListThread);
    Trx_StateGuard state;
    state.initialise();
    ASSERT_NE(ThreadDirectory().find(WorkerRole::MenuList), nullptr);
    ASSERT_TRUE(waitUntil([&] { return state.menuListReady() == 1; }));
    ASSERT_TRUE(waitUntil(menuThreadEnded)) << "the thread ends without being told to";

    EXPECT_EQ(state.get(StateField::MenuCount), kDefaultMenuItemCount);
    EXPECT_TRUE(state.isValidMenuRecord(147));
    EXPECT_FALSE(state.isValidMenuRecord(148));
    EXPECT_EQ(state.menuParameterLength(148), 0);
    forEverySlot([](int n, const MenuItemRecord& stored) {
        MenuItemRecord expected;
        if (defaultMenuItem(n, expected)) {
            EXPECT_EQ(std::memcmp(&stored, &expected, sizeof stored), 0) << "slot " << n;
        } else {
            EXPECT_TRUE(isZero(stored)) << "slot " << n << " stays empty";
        }
    });

    // What the receive thread reads to cut "EX" replies.
    EXPECT_EQ(state.menuParameterLength(122), 13);
    EXPECT_EQ(state.menuFormatCode(126), MENU_FORMAT_EQ2_FREQ);
}

TEST_F(MenuListThread, ReadyIsRaisedOnlyOverACompleteList) {
    std::atomic<std::int32_t> countSeen{-1};
    std::atomic<bool> lastRecordSeen{false};
    std::thread watcher([&] {
        Trx_StateGuard state;
        // Looks as often as it can, to catch the flag the moment it rises.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (state.menuListReady() != 1) {
            if (std::chrono::steady_clock::now() > end) return;
            std::this_thread::yield();
        }
        countSeen = state.get(StateField::MenuCount);
        MenuItemRecord record;
        lastRecordSeen = state.copyMenuRecord(kDefaultMenuItemCount, record) &&
                         std::strcmp(record.name, "EMERGENCY FREQ TX") == 0;
    });
    Trx_StateGuard::setMenuLoaderStart(&startMenuListThread);
    Trx_StateGuard().initialise();
    watcher.join();
    EXPECT_EQ(countSeen.load(), kDefaultMenuItemCount);
    EXPECT_TRUE(lastRecordSeen.load());
}

TEST_F(MenuListThread, ASecondInitialisationBuildsTheListAgain) {
    Trx_StateGuard::setMenuLoaderStart(&startMenuListThread);
    Trx_StateGuard state;
    state.initialise();
    auto first = ThreadDirectory().find(WorkerRole::MenuList);
    state.initialise();
    auto second = ThreadDirectory().find(WorkerRole::MenuList);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, first);
    EXPECT_FALSE(first->isAlive()) << "the earlier thread has ended before the new one starts";
    ASSERT_TRUE(waitUntil([&] { return state.menuListReady() == 1; }));
    EXPECT_EQ(state.get(StateField::MenuCount), kDefaultMenuItemCount);
    EXPECT_TRUE(waitUntil([&] { return !second->isAlive(); }));
}

}  // namespace
}  // namespace tqm
