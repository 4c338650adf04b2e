#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tqm::sim {

// One set-up menu item that the simulated transceiver keeps: its number, the
// width of its value in an "EX" command, its range and its start value.
struct MenuItem {
    int number;
    int width;
    int min;
    int max;
    bool isSigned;  // written as a sign and width-1 digits
    int startValue;
};

// The menu items the simulated transceiver knows, in number order.
std::span<const MenuItem> menuItems();

// The item with this number, or nullptr.
const MenuItem* findMenuItem(int number);

// The value characters of an "EX" reply: width digits with leading zeros, or for a
// signed item "-" or "+" followed by width-1 digits.
std::string formatMenuValue(const MenuItem& item, int value);

// Reads exactly width value characters in the item's form; empty when malformed.
std::optional<int> parseMenuValue(const MenuItem& item, std::string_view text);

}  // namespace tqm::sim
