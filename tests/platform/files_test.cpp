#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "platform/atomic_file.h"
#include "platform/decimal_int.h"
#include "platform/registry.h"
#include "platform/serial_port_discovery.h"
#include "platform/settings_folder.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_device_tree.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using Values = std::vector<std::pair<std::string, std::string>>;

// Files in a scratch directory, created under the umask 022.
class FilesTest : public ::testing::Test {
protected:
    void TearDown() override { ::umask(m_umask); }

    std::set<std::string> names() const {
        std::set<std::string> found;
        for (const auto& entry : fs::directory_iterator(m_dir.path())) found.insert(entry.path().filename());
        return found;
    }
    static std::pair<std::string, mode_t> contentAndMode(const fs::path& path) {
        struct stat info {};
        return {test::readFile(path), ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0};
    }

    test::ScratchDirectory m_dir;
    const fs::path m_registry = m_dir / "registry.reg";
    mode_t m_umask = ::umask(022);
};

TEST(DecimalInt, ReadsLikeAtoiButRefusesWhatDoesNotFitInThirtyTwoBits) {
    const struct {
        const char* text;
        bool inRange;
        std::int32_t value;
        std::size_t end;
    } rows[] = {
        {"4800", true, 4800, 4},        {" \t-20,", true, -20, 5},      {"+7x", true, 7, 2},
        {"", true, 0, 0},               {"  ", true, 0, 0},             {"-", true, 0, 0},
        {"x12", true, 0, 0},            {"- 5", true, 0, 0},            {"2147483647", true, 2147483647, 10},
        {"-2147483648", true, -2147483647 - 1, 11},                     {"000000000000000000000000000005", true, 5, 30},
        {"2147483648", false, 0, 10},   {"-2147483649", false, 0, 11},  {"4294967301", false, 0, 10},
        {"99999999999999999999999999999", false, 0, 29},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const DecimalInt number = readDecimalInt(std::string_view(row.text));
        EXPECT_EQ(std::tuple(number.inRange, number.value, number.end), std::tuple(row.inRange, row.value, row.end));
        std::int32_t cell = -1;
        EXPECT_EQ(readDecimalInt(row.text, cell), row.inRange);
        EXPECT_EQ(cell, row.value);
    }
}

TEST_F(FilesTest, NewFilesFollowTheUmaskReplacedOnesKeepTheirModeAndLinksStay) {
    const fs::path file = m_dir / "settings.csv";
    ASSERT_TRUE(writeFileAtomically(file, "one\r\n"));
    EXPECT_EQ(contentAndMode(file), std::pair("one\r\n"s, mode_t{0644}));
    ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
    ASSERT_TRUE(writeFileAtomically(file, "two"));
    EXPECT_EQ(contentAndMode(file), std::pair("two"s, mode_t{0600})) << "a private file stays private";
    // Through links, relative and dangling ones included, the file pointed to is written.
    fs::create_symlink("settings.csv", m_dir / "link");
    fs::create_symlink("made.csv", m_dir / "dangling");
    ASSERT_TRUE(writeFileAtomically(m_dir / "link", "three") && writeFileAtomically(m_dir / "dangling", "four"));
    EXPECT_TRUE(fs::is_symlink(m_dir / "link") && fs::is_symlink(m_dir / "dangling"));
    EXPECT_EQ(test::readFile(file), "three");
    EXPECT_EQ(test::readFile(m_dir / "made.csv"), "four");
    EXPECT_EQ(names(), (std::set<std::string>{"settings.csv", "link", "dangling", "made.csv"}));
}

TEST_F(FilesTest, AFailedWriteLeavesTheTargetAsItWasAndNoTemporaryFile) {
    const fs::path file = m_dir / "old.csv";
    ASSERT_TRUE(test::writeFile(file, "old"));
    fs::create_directory(m_dir / "folder");
    ASSERT_EQ(::mkfifo((m_dir / "pipe").c_str(), 0644), 0);
    fs::create_symlink("loop", m_dir / "loop");
    for (const char* name : {"old.csv/x", "missing/x", "folder", "pipe", "loop"}) {
        EXPECT_FALSE(writeFileAtomically(m_dir / name, "new")) << name;
    }
    bool written = true;  // a disk that fills up half-way
    ASSERT_TRUE(test::withFileSizeLimit(4, [&] { written = writeFileAtomically(file, "longer than four"); }));
    EXPECT_FALSE(written);
    // A read-only file is not replaced, although its directory may be written. The
    // super-user may write any file: then a child process that has become "nobody" tries.
    ASSERT_EQ(::chmod(m_dir.path().c_str(), 0777), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    test::ChildProcess child([&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 99;
        return writeFileAtomically(file, "new") ? 1 : 0;
    });
    EXPECT_EQ(child.exitCode(std::chrono::seconds(60)), 0);
    EXPECT_EQ(contentAndMode(file), std::pair("old"s, mode_t{0444}));
    EXPECT_EQ(names(), (std::set<std::string>{"old.csv", "folder", "pipe", "loop"}));
}

TEST_F(FilesTest, RegistryValuesSurviveSaveAndLoadInTheRegExportStyle) {
    constexpr const char* kGuidKey = "HKEY_CLASSES_ROOT\\AppID\\{GUID}";
    const auto nested = m_dir / "a" / "b" / "registry.reg";
    Registry written(nested);
    ASSERT_TRUE(written.setDefaultValue(kGuidKey, "Name with \"quotes\" and C:\\path") &&
                written.setValue(kGuidKey, "AppID", "x\"y") &&
                written.setValue("hkey_classes_root\\appid\\{guid}", "APPID", "{GUID}") &&  // case-blind
                written.setValue("HKEY_CLASSES_ROOT\\AppID\\Prog.EXE", "Empty", "") && written.save());
    EXPECT_NE(test::readFile(nested).find("[HKEY_CLASSES_ROOT\\AppID\\{GUID}]\n@=\"Name with \\\"quotes\\\" and "
                                          "C:\\\\path\"\n\"AppID\"=\"{GUID}\"\n"),
              std::string::npos) << test::readFile(nested);
    Registry read(nested);
    ASSERT_TRUE(read.load());
    EXPECT_EQ(read.keys(), written.keys());
    EXPECT_TRUE(read.hasKey("HKEY_CLASSES_ROOT\\AppID")) << "parents are created";
    EXPECT_EQ(read.values(kGuidKey), (Values{{"", "Name with \"quotes\" and C:\\path"}, {"AppID", "{GUID}"}}));
    EXPECT_EQ(read.values("HKEY_CLASSES_ROOT\\AppID\\Prog.EXE"), (Values{{"Empty", ""}}));
    // Keys and values the file cannot hold are refused.
    for (const char* key : {"", "\\R", "R\\", "R\\\\A", "R[1]", "-R", "R\nS"}) {
        EXPECT_FALSE(read.setDefaultValue(key, "v")) << key;
    }
    EXPECT_FALSE(read.setValue("R", "Name", "line\nbreak"));
    EXPECT_FALSE(read.setValue("R", "", "a named value needs a name"));
    EXPECT_EQ(read.keys(), written.keys());
}

// Lines the reader does not understand survive a load and save where they stood;
// only string values, sections and blank lines are written afresh.
TEST_F(FilesTest, RegistryLinesTheReaderDoesNotUnderstandAreWrittenBackAsTheyWere) {
    ASSERT_TRUE(test::writeFile(m_registry, "Windows Registry Editor Version 5.00\r\n"
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
                                            "  \"Spaced\" = \"yes\"\n"));
    Registry registry(m_registry);
    ASSERT_TRUE(registry.load()) << registry.errorText();
    EXPECT_EQ(registry.keys(), (std::vector<std::string>{"R", "R\\Good", "R\\Second"}));
    EXPECT_EQ(registry.values("R\\Good"), (Values{{"", "kept"}, {"Name", "also kept"}}));
    EXPECT_EQ(registry.values("R\\Second"), (Values{{"Spaced", "yes"}}));
    ASSERT_TRUE(registry.setValue("R\\Good", "Added", "new"));
    const std::string saved =
        "Windows Registry Editor Version 5.00\n"
        "\n@=\"value before any section\"\n; a comment\n"
        "\n[R]\n"
        "\n[R\\Good]\n@=\"kept\"\n\"Name\"=\"also kept\"\n\"Number\"=dword:00000001\n"
        "\"Unclosed\"=\"no end\n\"Trailing\"=\"x\" junk\n\"Added\"=\"new\"\n"
        "\n[R\\Unclosed\n@=\"under a malformed section\"\n"
        "\n[-R\\Deleted]\n@=\"under a deletion\"\n"
        "\n[R\\Second]\n\"Spaced\"=\"yes\"\n";
    for (int round = 0; round < 2; ++round) {  // a second round changes nothing
        ASSERT_TRUE(registry.save() && registry.load());
        EXPECT_EQ(test::readFile(m_registry), saved);
    }
    EXPECT_TRUE(registry.clearKey("R\\Good"));
    EXPECT_EQ(registry.serialize().find("Number"), std::string::npos) << "a cleared key loses its kept lines too";
}

// A file that is not one of ours is refused, never taken over; an empty one is an
// empty store. A key whose levels would not fit in a file is refused.
TEST_F(FilesTest, RegistryRefusesFilesThatAreNotRegistryFilesOfThisProgram) {
    std::string deepKey = "Windows Registry Editor Version 5.00\n[R]\n[";
    while (deepKey.size() < Registry::kMaxFileBytes - 16) deepKey += "a\\";
    const struct {
        std::string content;
        const char* words = nullptr;  // nullptr: loaded
    } rows[] = {
        {"REGEDIT4\n\n[R]\n@=\"v\"\n", "not a registry file"},
        {"\nWindows Registry Editor Version 5.00\n", "not a registry file"},
        {"[R\\A]\n@=\"" + std::string(Registry::kMaxFileBytes, 'x') + "\"\n", "larger than"},
        {""}, {deepKey + "b]\n"},
    };
    Registry registry(m_registry);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.content.substr(0, 40));
        ASSERT_TRUE(test::writeFile(m_registry, row.content));
        EXPECT_EQ(registry.load(), row.words == nullptr) << registry.errorText();
        EXPECT_TRUE(!row.words || registry.keys().empty()) << "a refused load leaves an empty store";
        const std::string error = registry.errorText();
        EXPECT_TRUE(!row.words || (error.find(row.words) != std::string::npos &&
                                   error.find(m_registry.string()) != std::string::npos)) << error;
    }
    EXPECT_EQ(registry.keys(), std::vector<std::string>{"R"}) << "the deep key is refused";
}

// The registry file is the variable's, else under the data home, else under the
// working folder; the settings folder is under the configuration home, else ~/.config.
// Relative homes are ignored.
TEST(FilePaths, FollowTheEnvironment) {
    const char* const kNames[] = {Registry::kPathVariable, "XDG_DATA_HOME", "HOME", "XDG_CONFIG_HOME"};
    const struct {
        const char* values[4];  // nullptr: unset
        const char* registry;
        const char* settings;
    } rows[] = {
        {{"/x/r.reg", "/d", "/h", "/c"}, "/x/r.reg", "/c/tqm4700-peq"},
        {{"", "/d", "/h", ""}, "/d/tqm4700-peq/registry.reg", "/h/.config/tqm4700-peq"},
        {{nullptr, "relative", "/h", "relative/cfg"}, "/h/.local/share/tqm4700-peq/registry.reg", "/h/.config/tqm4700-peq"},
        {{nullptr, nullptr, "", nullptr}, "./tqm4700-peq/registry.reg", ".config/tqm4700-peq"},
        {{nullptr, nullptr, nullptr, nullptr}, "./tqm4700-peq/registry.reg", ".config/tqm4700-peq"},
    };
    std::optional<std::string> saved[4];
    for (int i = 0; i < 4; ++i) {
        if (const char* value = std::getenv(kNames[i])) saved[i] = value;
    }
    const auto apply = [&](auto valueOf) {
        for (int i = 0; i < 4; ++i) valueOf(i) ? ::setenv(kNames[i], valueOf(i), 1) : ::unsetenv(kNames[i]);
    };
    for (const auto& row : rows) {
        apply([&](int i) { return row.values[i]; });
        EXPECT_EQ(Registry::filePath().string(), row.registry);
        EXPECT_EQ(SettingsFolder().path().string(), row.settings);
    }
    apply([&](int i) { return saved[i] ? saved[i]->c_str() : nullptr; });
}

TEST(SerialPortDiscovery, UsbAdaptersByTheirStableNamesAndOnlyTheOnBoardPortsWithAUart) {
    test::ScratchDirectory root;
    ASSERT_TRUE(test::makeFakeDeviceTree(root.path()));
    std::vector<std::tuple<std::string, std::string, std::string>> seen;
    const std::vector<FoundSerialPort> found = SerialPortDiscovery(root.path()).find();
    for (const FoundSerialPort& port : found) seen.emplace_back(port.path, port.device, port.description());
    // ttyS1 (type 0) and ttyS2 (no UART known) are left out.
    ASSERT_EQ(seen, (decltype(seen){
                        {test::kFtdiById, "/dev/ttyUSB0", "FTDI FT232R USB UART, serial A10K1234 (ttyUSB0, ftdi_sio)"},
                        {"/dev/ttyUSB2", "/dev/ttyUSB2", "serial port (ttyUSB2)"},
                        {"/dev/ttyUSB10", "/dev/ttyUSB10", "serial port (ttyUSB10)"},
                        {test::kAcmById, "/dev/ttyACM0", "Radio Maker CDC Radio, serial 0042 (ttyACM0, cdc_acm)"},
                        {"/dev/ttyS0", "/dev/ttyS0", "serial port (ttyS0)"},
                    }));
    EXPECT_EQ(found[0].usbId, "0403:6001");
    EXPECT_TRUE(SerialPortDiscovery(root / "nothing-here").find().empty());
}

}  // namespace
}  // namespace tqm
