#pragma once

#include "protocol/menu_item_record.h"

namespace tqm {

// Number of items in the built-in set-up menu list.
inline constexpr int kDefaultMenuItemCount = 147;

// Fills out with built-in menu item n (1..kDefaultMenuItemCount); every field the
// list does not give is zero. False, and out untouched, for any other n.
bool defaultMenuItem(int n, MenuItemRecord& out);

}  // namespace tqm
