#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QtCore/QTimer>

#include "app/equalizer_app.h"
#include "editor/ui/equalizer_dlg.h"
#include "serial/port_map.h"
#include "sim/simulated_transceiver.h"
#include "tests/gui/gui_app.h"
#include "tests/gui/modal_answerer.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

namespace fs = std::filesystem;

struct SettingsStart {
    const char* name;
    const char* settingsDir;  // below the scratch folder; nullptr: none given, the standard folder
    bool unreadableFile;      // a folder stands where the file would be
    const char* written;      // where the settings are at the end, below the scratch folder
};

class SettingsFolderStart : public ::testing::TestWithParam<SettingsStart> {};

// A whole run of the program, started and ended at once with EXIT: what it says at
// the start and where its settings are at the end.
TEST_P(SettingsFolderStart, ReadsAndWritesTheSettingsFolderAndOnlyAnUnreadableFileIsNoticed) {
    const SettingsStart start = GetParam();
    test::guiApp();
    test::ScratchDirectory scratch;
    const QByteArray savedXdg = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((scratch / "xdg").string()));
    if (start.unreadableFile) fs::create_directories(scratch / start.written);
    sim::SimulatedTransceiver radio;
    ASSERT_TRUE(radio.start());

    CommandLine commandLine;
    commandLine.noSplash = true;
    commandLine.portMap.push_back({1, radio.devicePath()});
    if (start.settingsDir != nullptr) commandLine.settingsDir = (scratch / start.settingsDir).string();
    CEqualizerApp::Hooks hooks;
    hooks.beforeExec = [](CEqualizerDlg& window) { QTimer::singleShot(100, &window, [&window] { window.reject(); }); };
    std::vector<std::string> notices;
    {
        test::ModalAnswerer answers;  // closes and records every box
        CEqualizerApp app(commandLine, hooks);
        EXPECT_EQ(app.run(), 0);
        notices = answers.unscripted();
    }
    qputenv("XDG_CONFIG_HOME", savedXdg);
    radio.stop();
    PortMap().reset();

    if (start.unreadableFile) {
        EXPECT_EQ(notices, (std::vector<std::string>{"Failed to read the COM port configuration file.\n"
                                                     "Execute the control program with the default settings."}));
        EXPECT_TRUE(fs::is_directory(scratch / start.written)) << "left as it was";
    } else {
        EXPECT_TRUE(notices.empty()) << notices.front();
        EXPECT_EQ(test::readFile(scratch / start.written), "1,4800,0\r\n") << "written at the end";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Starts, SettingsFolderStart,
    ::testing::Values(
        SettingsStart{"FirstStartInANewFolder", "stick/tqm", false, "stick/tqm/CommoFiles/CommSetting.csv"},
        SettingsStart{"TheStandardFolder", nullptr, false, "xdg/tqm4700-peq/CommoFiles/CommSetting.csv"},
        SettingsStart{"AFileThatCannotBeRead", "stick", true, "stick/CommoFiles/CommSetting.csv"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tqm
