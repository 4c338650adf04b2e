#include <stdlib.h>

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

using Values = std::vector<std::pair<std::string, std::string>>;

constexpr const char* kGuidKey = "HKEY_CLASSES_ROOT\\AppID\\{GUID}";

class RegistryTest : public ::testing::Test {
protected:
    std::filesystem::path file() const { return m_dir / "registry.reg"; }

    test::ScratchDirectory m_dir;
};

TEST_F(RegistryTest, ValuesSurviveSaveAndLoadInTheRegExportStyle) {
    const auto nested = m_dir / "a" / "b" / "registry.reg";
    Registry written(nested);
    ASSERT_TRUE(written.setDefaultValue(kGuidKey, "Name with \"quotes\" and C:\\path"));
    ASSERT_TRUE(written.setValue(kGuidKey, "AppID", "x\"y"));
    ASSERT_TRUE(written.setValue("hkey_classes_root\\appid\\{guid}", "APPID", "{GUID}"));  // case-blind
    ASSERT_TRUE(written.setValue("HKEY_CLASSES_ROOT\\AppID\\Prog.EXE", "Empty", ""));
    ASSERT_TRUE(written.save());
    EXPECT_NE(test::readFile(nested).find("[HKEY_CLASSES_ROOT\\AppID\\{GUID}]\n@=\"Name with \\\"quotes\\\" and "
                                          "C:\\\\path\"\n\"AppID\"=\"{GUID}\"\n"),
              std::string::npos)
        << test::readFile(nested);

    Registry read(nested);
    ASSERT_TRUE(read.load());
    EXPECT_EQ(read.keys(), written.keys());
    EXPECT_TRUE(read.hasKey("HKEY_CLASSES_ROOT\\AppID")) << "parents are created";
    EXPECT_EQ(read.values(kGuidKey), (Values{{"", "Name with \"quotes\" and C:\\path"}, {"AppID", "{GUID}"}}));
    EXPECT_EQ(read.values("HKEY_CLASSES_ROOT\\AppID\\Prog.EXE"), (Values{{"Empty", ""}}));
}

TEST_F(RegistryTest, RefusesKeysAndValuesTheFileCannotHold) {
    Registry registry(file());
    for (const char* key : {"", "\\R", "R\\", "R\\\\A", "R[1]", "-R", "R\nS"}) {
        EXPECT_FALSE(registry.setDefaultValue(key, "v")) << key;
    }
    EXPECT_FALSE(registry.setValue("R", "Name", "line\nbreak"));
    EXPECT_FALSE(registry.setValue("R", "", "a named value needs a name"));
    EXPECT_TRUE(registry.keys().empty());
}

// Lines the reader does not understand survive a load and save where they stood;
// only string values, sections and blank lines are written afresh.
TEST_F(RegistryTest, LinesTheReaderDoesNotUnderstandAreWrittenBackAsTheyWere) {
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n"
        "@=\"value before any section\"\n"
        "; a comment\n"
        "[R\\Good]\r\n"
        "@=\"kept\"\n"
        "\"Name\"=\"also kept\"   \n"
        "\"Number\"=dword:00000001\n"
        "\"Unclosed\"=\"no end\n"
        "\"Trailing\"=\"x\" junk\n"
        "[R\\Unclosed\n"
        "@=\"under a malformed section\"\n"
        "[-R\\Deleted]\n"
        "@=\"under a deletion\"\n"
        "\n"
        "  [R\\Second]  \n"
        "  \"Spaced\" = \"yes\"\n";
    ASSERT_TRUE(test::writeFile(file(), text));
    Registry registry(file());
    ASSERT_TRUE(registry.load()) << registry.errorText();
    EXPECT_EQ(registry.keys(), (std::vector<std::string>{"R", "R\\Good", "R\\Second"}));
    EXPECT_EQ(registry.values("R\\Good"), (Values{{"", "kept"}, {"Name", "also kept"}}));
    EXPECT_EQ(registry.values("R\\Second"), (Values{{"Spaced", "yes"}}));

    ASSERT_TRUE(registry.setValue("R\\Good", "Added", "new"));
    ASSERT_TRUE(registry.save());
    EXPECT_EQ(test::readFile(file()),
              "Windows Registry Editor Version 5.00\n"
              "\n@=\"value before any section\"\n; a comment\n"
              "\n[R]\n"
              "\n[R\\Good]\n@=\"kept\"\n\"Name\"=\"also kept\"\n\"Number\"=dword:00000001\n"
              "\"Unclosed\"=\"no end\n\"Trailing\"=\"x\" junk\n\"Added\"=\"new\"\n"
              "\n[R\\Unclosed\n@=\"under a malformed section\"\n"
              "\n[-R\\Deleted]\n@=\"under a deletion\"\n"
              "\n[R\\Second]\n\"Spaced\"=\"yes\"\n");
    const std::string saved = test::readFile(file());
    ASSERT_TRUE(registry.load());
    ASSERT_TRUE(registry.save());
    EXPECT_EQ(test::readFile(file()), saved) << "a second round changes nothing";

    EXPECT_TRUE(registry.clearKey("R\\Good"));
    EXPECT_EQ(registry.serialize().find("Number"), std::string::npos) << "a cleared key loses its kept lines too";
}

// A file that is not one of ours is refused, never taken over; an empty one is an empty store.
TEST_F(RegistryTest, RefusesFilesThatAreNotRegistryFilesOfThisProgram) {
    const struct {
        std::string content;
        const char* words;
    } rows[] = {
        {"first line\nsecond line\nthird line\n", "not a registry file"},
        {"REGEDIT4\n\n[R]\n@=\"v\"\n", "not a registry file"},
        {"\nWindows Registry Editor Version 5.00\n", "not a registry file"},
        {"[R\\A]\n@=\"" + std::string(Registry::kMaxFileBytes, 'x') + "\"\n", "larger than"},
    };
    Registry registry(file());
    for (const auto& row : rows) {
        ASSERT_TRUE(test::writeFile(file(), row.content));
        EXPECT_FALSE(registry.load()) << row.content.substr(0, 40);
        EXPECT_TRUE(registry.keys().empty()) << "a refused load leaves an empty store";
        EXPECT_NE(registry.errorText().find(row.words), std::string::npos) << registry.errorText();
        EXPECT_NE(registry.errorText().find(file().string()), std::string::npos) << registry.errorText();
    }
    std::filesystem::remove(file());
    std::filesystem::create_directory(file());
    EXPECT_FALSE(registry.load());
    EXPECT_NE(registry.errorText().find("not a regular file"), std::string::npos) << registry.errorText();
    std::filesystem::remove(file());
    ASSERT_TRUE(test::writeFile(file(), ""));
    EXPECT_TRUE(registry.load()) << registry.errorText();
}

// Every key stores its whole path: a key whose levels would not fit in a file is refused.
TEST_F(RegistryTest, KeysWhosePathsWouldNotFitInAFileAreRefused) {
    std::string deepKey = "Windows Registry Editor Version 5.00\n[R]\n[";
    while (deepKey.size() < Registry::kMaxFileBytes - 16) deepKey += "a\\";
    ASSERT_TRUE(test::writeFile(file(), deepKey + "b]\n"));
    Registry registry(file());
    ASSERT_TRUE(registry.load());
    EXPECT_EQ(registry.keys(), std::vector<std::string>{"R"});
}

// The file is the variable's, else under the data home, else under the working folder.
TEST(RegistryPath, FollowsTheEnvironment) {
    const char* const kNames[] = {Registry::kPathVariable, "XDG_DATA_HOME", "HOME"};
    const struct {
        const char* values[3];  // nullptr: unset
        const char* path;
    } rows[] = {
        {{"/x/r.reg", "/d", "/h"}, "/x/r.reg"},
        {{"", "/d", "/h"}, "/d/tqm4700-peq/registry.reg"},
        {{nullptr, "relative", "/h"}, "/h/.local/share/tqm4700-peq/registry.reg"},
        {{nullptr, nullptr, ""}, "./tqm4700-peq/registry.reg"},
        {{nullptr, nullptr, nullptr}, "./tqm4700-peq/registry.reg"},
    };
    std::optional<std::string> saved[3];
    for (int i = 0; i < 3; ++i) {
        if (const char* value = std::getenv(kNames[i])) saved[i] = value;
    }
    const auto apply = [&](auto valueOf) {
        for (int i = 0; i < 3; ++i) {
            const char* value = valueOf(i);
            value ? ::setenv(kNames[i], value, 1) : ::unsetenv(kNames[i]);
        }
    };
    for (const auto& row : rows) {
        apply([&](int i) { return row.values[i]; });
        EXPECT_EQ(Registry::filePath().string(), row.path);
    }
    apply([&](int i) { return saved[i] ? saved[i]->c_str() : nullptr; });
}

}  // namespace
}  // namespace tqm
