#include "platform/settings_folder.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace tqm {
namespace {

// Sets or removes an environment variable and puts it back afterwards.
class EnvironmentValue final {
public:
    explicit EnvironmentValue(const char* name) : m_name(name) {
        if (const char* value = std::getenv(name)) m_saved = value;
    }
    ~EnvironmentValue() { set(m_saved ? m_saved->c_str() : nullptr); }
    void set(const char* value) const {
        if (value != nullptr) {
            ::setenv(m_name, value, 1);
        } else {
            ::unsetenv(m_name);
        }
    }

private:
    const char* m_name;
    std::optional<std::string> m_saved;
};

TEST(SettingsFolder, FollowsXdgConfigHomeThenHomeAndAChosenFolderWinsForTheRun) {
    const EnvironmentValue xdg("XDG_CONFIG_HOME");
    const EnvironmentValue home("HOME");
    home.set("/home/op");
    struct Case {
        const char* xdg;
        const char* expected;
    };
    // A relative or empty XDG_CONFIG_HOME is not used.
    constexpr Case kCases[] = {{"/cfg", "/cfg/tqm4700-peq"},
                               {nullptr, "/home/op/.config/tqm4700-peq"},
                               {"", "/home/op/.config/tqm4700-peq"},
                               {"cfg", "/home/op/.config/tqm4700-peq"}};
    for (const Case& c : kCases) {
        xdg.set(c.xdg);
        EXPECT_EQ(SettingsFolder().path(), c.expected) << (c.xdg ? c.xdg : "unset");
    }
    SettingsFolder().choose("portable/");
    EXPECT_EQ(SettingsFolder().path(), std::filesystem::current_path() / "portable/") << "where it was chosen";
    SettingsFolder().choose({});
    EXPECT_EQ(SettingsFolder().path(), "/home/op/.config/tqm4700-peq");
}

}  // namespace
}  // namespace tqm
