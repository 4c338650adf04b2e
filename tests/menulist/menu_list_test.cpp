#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "menulist/default_menu_list.h"
#include "menulist/menu_list_loader.h"
#include "platform/thread_directory.h"
#include "protocol/trx_state.h"
#include "tests/support/child_process.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;

MenuItemRecord item(int n) {
    MenuItemRecord record;
    std::memset(&record, 0x5A, sizeof record);
    EXPECT_TRUE(defaultMenuItem(n, record)) << "item " << n;
    return record;
}

bool allZero(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    return std::all_of(bytes, bytes + size, [](unsigned char b) { return b == 0; });
}

// Characters needed to write v as an integer, a minus sign included.
int widthOf(double v) { return static_cast<int>(std::to_string(static_cast<long long>(v)).size()); }

// Choices come from the range text without its unit suffix, unless the item has a
// list of its own; limits from the row of its range of items.
TEST(DefaultMenuList, ChoicesAndLimitsComeFromTheirTablesAndOnlyItemsOneTo147ExistEachConsistent) {
    const auto choices = [](int n) {
        const MenuItemRecord r = item(n);
        return std::vector<std::string>(r.choices, r.choices + r.choiceCount);
    };
    EXPECT_EQ(choices(121), (std::vector<std::string>{"10", "100"}));
    EXPECT_EQ(choices(122),
              (std::vector<std::string>{"1.8", "3.5", "5", "7", "10", "14", "18", "21", "24", "28", "50", "GEN", "TRV"}));
    const MenuItemRecord cwUpper = item(45);
    EXPECT_EQ(std::vector({cwUpper.minimum, cwUpper.maximum, cwUpper.step}), std::vector({-1000.0, 1000.0, 1.0}));

    // Every record is whole and consistent: the receive thread cuts an "EX" reply after
    // its parameter length, so every value an item can carry must fit in it, and the
    // start value must be one the transceiver could report.
    MenuItemRecord untouched;
    std::memset(&untouched, 0x5A, sizeof untouched);
    for (int n : {-1, 0, 148, 300}) {
        EXPECT_FALSE(defaultMenuItem(n, untouched)) << n;
        EXPECT_EQ(reinterpret_cast<unsigned char*>(&untouched)[0], 0x5A) << "untouched for " << n;
    }
    for (int n = 1; n <= kDefaultMenuItemCount; ++n) {
        SCOPED_TRACE(n);
        const MenuItemRecord r = item(n);
        EXPECT_EQ(r.number, n);
        EXPECT_GT(std::strlen(r.name), 0u);
        EXPECT_TRUE(allZero(r.reserved, sizeof r.reserved));
        EXPECT_EQ(r.hasUnit, r.unit[0] != '\0' ? 1 : 0);
        ASSERT_TRUE(r.choiceCount >= 0 && r.choiceCount <= 40);
        EXPECT_TRUE(allZero(r.choices + r.choiceCount, sizeof r.choices[0] * static_cast<std::size_t>(40 - r.choiceCount)));
        const bool choiceIndex = r.formatCode == 1 || r.formatCode == 12 || r.formatCode == 15 ||
                                 (r.formatCode >= 31 && r.formatCode <= 36);
        if (r.formatCode == MENU_FORMAT_BIT_FIELD) {
            EXPECT_EQ(r.parameterLength, r.choiceCount);
        } else if (choiceIndex) {
            EXPECT_GE(r.parameterLength, widthOf(r.choiceCount - 1));
            EXPECT_TRUE(r.value >= 0.0 && r.value < r.choiceCount) << r.value;
        } else {
            EXPECT_GE(r.parameterLength, std::max(widthOf(r.maximum), widthOf(r.minimum)));
            const bool noRange = r.choiceCount != 0 || r.formatCode == 8;
            EXPECT_TRUE(noRange || (r.value >= r.minimum && r.value <= r.maximum)) << r.value;
        }
    }
}


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
    ASSERT_TRUE(first != nullptr && second != first);
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
