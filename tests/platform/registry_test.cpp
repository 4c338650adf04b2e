#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;
using Values = std::vector<std::pair<std::string, std::string>>;

constexpr const char* kGuidKey = "HKEY_CLASSES_ROOT\\AppID\\{GUID}";

class RegistryTest : public ::testing::Test {
protected:
    std::filesystem::path file() const { return m_dir / "registry.reg"; }

    test::ScratchDirectory m_dir;
};

TEST_F(RegistryTest, ValuesSurviveSaveAndLoadInNewDirectories) {
    const auto nested = m_dir / "a" / "b" / "registry.reg";
    Registry written(nested);
    ASSERT_TRUE(written.setDefaultValue(kGuidKey, "Name with \"quotes\" and C:\\path"));
    ASSERT_TRUE(written.setValue("HKEY_CLASSES_ROOT\\AppID\\Prog.EXE", "AppID", "{GUID}"));
    ASSERT_TRUE(written.setValue("HKEY_CLASSES_ROOT\\AppID\\Prog.EXE", "Empty", ""));
    ASSERT_TRUE(written.save());

    Registry read(nested);
    ASSERT_TRUE(read.load());
    EXPECT_EQ(read.keys(), written.keys());
    EXPECT_EQ(read.defaultValue(kGuidKey), "Name with \"quotes\" and C:\\path");
    EXPECT_EQ(read.values("HKEY_CLASSES_ROOT\\AppID\\Prog.EXE"), (Values{{"AppID", "{GUID}"}, {"Empty", ""}}));
    EXPECT_EQ(read.serialize(), written.serialize());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(nested.parent_path()),
                            std::filesystem::directory_iterator()),
              1)
        << "a temporary file was left behind";
}

TEST_F(RegistryTest, WrittenFileUsesTheRegExportStyle) {
    Registry registry(file());
    ASSERT_TRUE(registry.setDefaultValue(kGuidKey, "Name"));
    ASSERT_TRUE(registry.setValue(kGuidKey, "AppID", "x\"y"));
    ASSERT_TRUE(registry.save());
    const std::string text = test::readFile(file());
    EXPECT_NE(text.find("[HKEY_CLASSES_ROOT\\AppID\\{GUID}]\n@=\"Name\"\n\"AppID\"=\"x\\\"y\"\n"), std::string::npos)
        << text;
}

TEST_F(RegistryTest, KeysAndNamesIgnoreLetterCaseAndParentsExist) {
    Registry registry(file());
    ASSERT_TRUE(registry.setValue(kGuidKey, "AppID", "one"));
    ASSERT_TRUE(registry.setValue("hkey_classes_root\\appid\\{guid}", "APPID", "two"));
    EXPECT_EQ(registry.values(kGuidKey), (Values{{"AppID", "two"}}));
    EXPECT_TRUE(registry.hasKey("HKEY_CLASSES_ROOT"));
    EXPECT_TRUE(registry.hasKey("HKEY_CLASSES_ROOT\\AppID"));
    EXPECT_EQ(registry.keys().size(), 3u);
    EXPECT_FALSE(registry.defaultValue(kGuidKey).has_value());
    EXPECT_FALSE(registry.value("HKEY_CLASSES_ROOT\\Missing", "AppID").has_value());
}

TEST_F(RegistryTest, RemoveTakesSubkeysButNotKeysThatOnlyShareAPrefix) {
    Registry registry(file());
    registry.setDefaultValue("R\\A\\B", "b");
    registry.setDefaultValue("R\\A\\B\\C", "c");
    registry.setDefaultValue("R\\A\\BC", "bc");
    EXPECT_TRUE(registry.removeKey("r\\a\\b"));
    EXPECT_FALSE(registry.hasKey("R\\A\\B"));
    EXPECT_FALSE(registry.hasKey("R\\A\\B\\C"));
    EXPECT_EQ(registry.defaultValue("R\\A\\BC"), "bc");
    EXPECT_TRUE(registry.hasKey("R\\A"));
    EXPECT_FALSE(registry.removeKey("R\\A\\B"));
}

TEST_F(RegistryTest, ClearKeepsTheKeyAndDropsItsContents) {
    Registry registry(file());
    registry.setDefaultValue("R\\A", "a");
    registry.setValue("R\\A", "Name", "v");
    registry.setDefaultValue("R\\A\\Sub", "s");
    registry.setDefaultValue("R\\Another", "x");
    EXPECT_TRUE(registry.clearKey("R\\A"));
    EXPECT_TRUE(registry.hasKey("R\\A"));
    EXPECT_TRUE(registry.values("R\\A").empty());
    EXPECT_FALSE(registry.hasKey("R\\A\\Sub"));
    EXPECT_EQ(registry.defaultValue("R\\Another"), "x");
    EXPECT_FALSE(registry.clearKey("R\\Missing"));
}

TEST_F(RegistryTest, RefusesKeysAndValuesTheFileCannotHold) {
    Registry registry(file());
    for (const char* key : {"", "\\R", "R\\", "R\\\\A", "R[1]", "-R", "R\nS"}) {
        EXPECT_FALSE(registry.setDefaultValue(key, "v")) << key;
    }
    EXPECT_FALSE(registry.setValue("R", "Name", "line\nbreak"));
    EXPECT_FALSE(registry.setValue("R", "Na\rme", "v"));
    EXPECT_FALSE(registry.setValue("R", "", "a named value needs a name"));
    EXPECT_TRUE(registry.keys().empty());
}

TEST_F(RegistryTest, ReaderSkipsMalformedLinesAndKeepsTheRest) {
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
        "garbage line\n"
        "[R\\Unclosed\n"
        "@=\"lost with its section\"\n"
        "[-R\\Deleted]\n"
        "@=\"lost too\"\n"
        "  [R\\Second]  \n"
        "  \"Spaced\" = \"yes\"\n";
    ASSERT_TRUE(test::writeFile(file(), text));
    Registry registry(file());
    ASSERT_TRUE(registry.load());
    EXPECT_EQ(registry.keys(), (std::vector<std::string>{"R", "R\\Good", "R\\Second"}));
    EXPECT_EQ(registry.values("R\\Good"), (Values{{"", "kept"}, {"Name", "also kept"}}));
    EXPECT_EQ(registry.values("R\\Second"), (Values{{"Spaced", "yes"}}));
    EXPECT_TRUE(registry.values("R").empty());
}

TEST_F(RegistryTest, MissingFileIsAnEmptyStoreAndOversizedOrOddFilesAreRefused) {
    Registry missing(file());
    EXPECT_TRUE(missing.load());
    EXPECT_TRUE(missing.keys().empty());

    ASSERT_TRUE(test::writeFile(file(), "[R\\A]\n@=\"" + std::string(Registry::kMaxFileBytes, 'x') + "\"\n"));
    Registry oversized(file());
    oversized.setDefaultValue("R\\Stale", "dropped by load");
    EXPECT_FALSE(oversized.load());
    EXPECT_TRUE(oversized.keys().empty());

    Registry directory(m_dir.path());
    EXPECT_FALSE(directory.load());
}

TEST_F(RegistryTest, AStoreTooLargeToReadBackIsNotWritten) {
    Registry registry(file());
    registry.setDefaultValue("R", "old");
    ASSERT_TRUE(registry.save());
    const std::string before = test::readFile(file());

    registry.setDefaultValue("R", std::string(Registry::kMaxFileBytes, 'x'));
    EXPECT_FALSE(registry.save());
    EXPECT_EQ(test::readFile(file()), before);
}

TEST_F(RegistryTest, AWriteThatFailsHalfwayLeavesTheOldFileWhole) {
    Registry registry(file());
    registry.setDefaultValue("R", "old");
    ASSERT_TRUE(registry.save());
    const std::string before = test::readFile(file());

    // The child may write only 4 KiB per file, so the bigger store fails mid-write.
    test::ChildProcess child([this] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
        Registry big(file());
        if (!big.load()) return 4;
        big.setDefaultValue("R", std::string(64 * 1024, 'n'));
        return big.save() ? 0 : 1;
    });
    ASSERT_TRUE(child.started());
    const auto status = child.waitStatus(30s);
    ASSERT_TRUE(status.has_value());
    ASSERT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 1) << "the save should have failed";

    EXPECT_EQ(test::readFile(file()), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.path()), std::filesystem::directory_iterator()),
              1)
        << "a temporary file was left behind";
    Registry reread(file());
    ASSERT_TRUE(reread.load());
    EXPECT_EQ(reread.defaultValue("R"), "old");
}

class RegistryPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {Registry::kPathVariable, "XDG_DATA_HOME", "HOME"}) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
    }
    void TearDown() override {
        Registry::setPathOverride({});
        for (const auto& [name, value] : m_saved) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

TEST_F(RegistryPathTest, OverrideBeatsVariableBeatsDataHomeBeatsHome) {
    ::setenv("HOME", "/home/op", 1);
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv(Registry::kPathVariable);
    EXPECT_EQ(Registry::filePath(), "/home/op/.local/share/tqm4700-peq/registry.reg");

    ::setenv("XDG_DATA_HOME", "relative/ignored", 1);
    EXPECT_EQ(Registry::filePath(), "/home/op/.local/share/tqm4700-peq/registry.reg");

    ::setenv("XDG_DATA_HOME", "/data", 1);
    EXPECT_EQ(Registry::filePath(), "/data/tqm4700-peq/registry.reg");

    ::setenv(Registry::kPathVariable, "/tmp/from-env.reg", 1);
    EXPECT_EQ(Registry::filePath(), "/tmp/from-env.reg");
    EXPECT_EQ(Registry().path(), "/tmp/from-env.reg");

    Registry::setPathOverride("/tmp/override.reg");
    EXPECT_EQ(Registry::filePath(), "/tmp/override.reg");
    Registry::setPathOverride({});
    EXPECT_EQ(Registry::filePath(), "/tmp/from-env.reg");
}

}  // namespace
}  // namespace tqm
