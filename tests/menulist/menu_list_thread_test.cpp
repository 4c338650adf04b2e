#include <chrono>
#include <cstring>
#include <functional>

#include <gtest/gtest.h>

#include "menulist/default_menu_list.h"
#include "menulist/menu_list_loader.h"
#include "platform/thread_directory.h"
#include "protocol/trx_state.h"
#include "tests/support/child_process.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;

// Every slot of the state, valid or not (menuCount widened for the look).
void visitEverySlot(const std::function<void(int, const MenuItemRecord&)>& visit) {
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

// Initialisation starts the loader thread, which copies the built-in list into the
// state, raises menuListReady and ends by itself; a second initialisation ends an
// earlier thread before it starts the next.
TEST(MenuListThread, InitialisationBuildsTheListAndTheThreadEndsByItself) {
    Trx_StateGuard state;
    Trx_StateGuard::setMenuLoaderStart(nullptr);
    state.initialise();
    // Empty every slot, so that nothing an earlier build left can pass for this one.
    MenuItemRecord empty;
    std::memset(&empty, 0, sizeof empty);
    visitEverySlot([&](int n, const MenuItemRecord&) { ASSERT_TRUE(state.storeMenuRecord(n, &empty)); });

    Trx_StateGuard::setMenuLoaderStart(&startMenuListThread);
    state.initialise();
    const auto first = ThreadDirectory().find(WorkerRole::MenuList);
    state.initialise();
    const auto second = ThreadDirectory().find(WorkerRole::MenuList);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, first);
    EXPECT_FALSE(first->isAlive()) << "the earlier thread has ended before the new one starts";
    ASSERT_TRUE(test::waitUntil([&] { return state.menuListReady() == 1; }, 10s));
    EXPECT_TRUE(test::waitUntil([&] { return !second->isAlive(); }, 10s)) << "the thread ends without being told to";

    EXPECT_EQ(state.get(StateField::MenuCount), kDefaultMenuItemCount);
    visitEverySlot([](int n, const MenuItemRecord& stored) {
        MenuItemRecord expected;
        std::memset(&expected, 0, sizeof expected);
        defaultMenuItem(n, expected);
        EXPECT_EQ(std::memcmp(&stored, &expected, sizeof stored), 0) << "slot " << n << ", empty beyond the list";
    });
    Trx_StateGuard::setMenuLoaderStart(nullptr);
    ThreadDirectory().stop(WorkerRole::MenuList);
    ThreadDirectory().detach(WorkerRole::MenuList);
}

}  // namespace
}  // namespace tqm
