#include "platform/settings_folder.h"

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

namespace tqm {
namespace {

// The standard folder without XDG_CONFIG_HOME; with it, and a chosen folder for the
// run, the program's start tests show the folder in use.
TEST(SettingsFolder, IsBelowHomeWhenXdgConfigHomeIsUnsetEmptyOrRelative) {
    if (std::getenv("HOME") == nullptr) GTEST_SKIP() << "no HOME";
    const std::string expected = std::string(std::getenv("HOME")) + "/.config/tqm4700-peq";
    const std::string saved = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    for (const char* xdg : {"", "relative/cfg"}) {
        ::setenv("XDG_CONFIG_HOME", xdg, 1);
        EXPECT_EQ(SettingsFolder().path(), expected) << xdg;
    }
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsFolder::standardPath(), expected);
    if (!saved.empty()) ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}

}  // namespace
}  // namespace tqm
