#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <sstream>

#include "app/equalizer_app.h"
#include "editor/equalizer_values.h"
#include "platform/thread_directory.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"
#include "sim/simulated_transceiver.h"
#include "tests/gui/gui_app.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

namespace fs = std::filesystem;

// The settings file at the start of a run and at its end.
enum class Settings {
    Existing,     // "3,9600,2": COM3, shown set R
    NewFolder,    // the folder given does not exist yet: the defaults, COM1
    Unreadable,   // a folder stands where the file would be, from the start
    Unwritable,   // the file is replaced by a folder during the run
};

// How a run of the whole application goes: its settings and how it ends (EXIT or a
// signal from the desktop, over the window or over a notice box).
struct AppRun {
    const char* name;
    Settings settings;
    int signal = 0;  // 0: EXIT
    bool overABox = false;
    const char* written = nullptr;  // the file at the end; null: not written
    const char* settingFile = nullptr;  // a setting file given on the command line: its text
    const char* notice = nullptr;  // the one notice of the run, closed as it shows
};

class ApplicationRun : public ::testing::TestWithParam<AppRun> {};

const EqualizerValues kOpened{{1, 5, 10, 2, -3, 10, 0, 5, 4}};  // the good setting file of the rows

// The settings file, in a folder of the directory, as the run starts with it.
fs::path settingsAtStart(const AppRun& run, const fs::path& directory) {
    const fs::path settings =
        directory / (run.settings == Settings::NewFolder ? "stick/tqm" : "stick") / "CommoFiles" / "CommSetting.csv";
    if (run.settings == Settings::Unreadable) fs::create_directories(settings);
    if (run.settings == Settings::Existing || run.settings == Settings::Unwritable) {
        fs::create_directories(settings.parent_path());
        EXPECT_TRUE(test::writeFile(settings, "3,9600,2\r\n"));
    }
    return settings;
}

// During the run the shown set changes to R and the baud rate to 19200; at the end
// the port closes before the settings are written and the threads stop last.
void changeAndEnd(CEqualizerDlg& window, const AppRun& run, const fs::path& settings, bool& boxOutlived) {
    window.model().selectSet(1);
    Sio_Port().setBaudRate(19200);
    if (run.settings == Settings::Unwritable) {
        fs::remove(settings);
        fs::create_directories(settings / "inside");
    }
    if (run.signal == 0) {
        window.reject();  // EXIT
    } else if (!run.overABox) {
        ::raise(run.signal);
    } else {
        QMessageBox box(QMessageBox::Warning, "", "", QMessageBox::Ok, &window);
        QTimer::singleShot(50, &box, [&] { ::raise(run.signal); });
        QTimer::singleShot(10000, &box, [&] {
            boxOutlived = true;
            box.accept();
        });
        box.exec();
    }
}

TEST_P(ApplicationRun, ReadsTheSettingsClosesThePortWritesThemThenStopsTheThreads) {
    const AppRun run = GetParam();
    test::guiApp();
    sim::SimulatedTransceiver radio;
    ASSERT_TRUE(radio.start());
    test::ScratchDirectory directory;
    const fs::path settings = settingsAtStart(run, directory.path());
    CommandLine commandLine;
    commandLine.noSplash = true;
    commandLine.settingsDir = settings.parent_path().parent_path().string();
    commandLine.portMap = {{1, radio.devicePath()}, {3, radio.devicePath()}};
    if (run.settingFile != nullptr) {
        commandLine.settingFile = (directory / "opened.pef").string();
        ASSERT_TRUE(test::writeFile(commandLine.settingFile, run.settingFile));
    }
    bool portWasOpen = false;
    bool boxOutlived = false;
    std::ostringstream err;
    CEqualizerApp::Hooks hooks;
    hooks.err = &err;
    hooks.beforeExec = [&](CEqualizerDlg& window) {
        QTimer::singleShot(300, &window, [&] {
            portWasOpen = Sio_Port().isOpen();
            const EqualizerModel& model = window.model();
            const int set = model.currentSet();
            EXPECT_EQ(model.shown(set) == kOpened && model.reference(set) == kOpened,
                      run.settingFile != nullptr && run.notice == nullptr) << "a good setting file is shown";
            changeAndEnd(window, run, settings, boxOutlived);
        });
    };
    std::optional<test::ModalAnswerer> answers;  // closes and records every notice but the signal's box
    if (!run.overABox) answers.emplace();
    CEqualizerApp app(commandLine, hooks);
    EXPECT_EQ(app.run(), 0);

    EXPECT_TRUE(portWasOpen && !boxOutlived) << "the port of the settings led to the radio; a signal ends a box too";
    if (answers) {
        EXPECT_EQ(answers->unscripted(),
                  run.notice != nullptr ? std::vector<std::string>{run.notice} : std::vector<std::string>{});
    }
    const char* saved = run.written != nullptr ? "settings-written" : "settings-not-written";
    EXPECT_EQ(app.shutdownSteps(), (std::vector<std::string>{"port-closed", saved, "threads-stopped"}));
    for (auto role : {WorkerRole::AnlRecv, WorkerRole::SioRecv, WorkerRole::SioSend, WorkerRole::AnlSend}) {
        EXPECT_FALSE(ThreadDirectory().isAlive(role));
    }
    const std::string report = err.str();
    if (run.written != nullptr) {
        EXPECT_TRUE(test::readFile(settings) == run.written && report.empty()) << report;
    } else {
        EXPECT_TRUE(fs::is_directory(settings)) << "left as it was";
        EXPECT_TRUE(std::ranges::count(report, '\n') == 1 && report.find(settings.string() + ": ") != std::string::npos)
            << report;
    }
    radio.stop();
    PortMap().reset();
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ApplicationRun,
    ::testing::Values(AppRun{"Exit", Settings::Existing, 0, false, "3,19200,1\r\n"},
                      AppRun{"Sigterm", Settings::Existing, SIGTERM, false, "3,19200,1\r\n"},
                      AppRun{"Sigint", Settings::Existing, SIGINT, false, "3,19200,1\r\n"},
                      AppRun{"Sighup", Settings::Existing, SIGHUP, false, "3,19200,1\r\n"},
                      AppRun{"SigtermOverABox", Settings::Existing, SIGTERM, true, "3,19200,1\r\n"},
                      AppRun{"FirstStartInANewFolder", Settings::NewFolder, 0, false, "1,19200,1\r\n"},
                      AppRun{"UnreadableFile", Settings::Unreadable, 0, false, nullptr, nullptr,
                             "Failed to read the COM port configuration file.\n"
                             "Execute the control program with the default settings."},
                      AppRun{"UnwritableAtTheEnd", Settings::Unwritable},
                      AppRun{"OpensASettingFile", Settings::Existing, 0, false, "3,19200,1\r\n",
                             "100,5,10\r\n800,-3,10\r\n0,5,4\r\n"},
                      AppRun{"OpensABadSettingFile", Settings::Existing, 0, false, "3,19200,1\r\n",
                             "100,5,10\r\n700,11,10\r\n0,5,10\r\n", "The input range is incorrect."}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tqm
