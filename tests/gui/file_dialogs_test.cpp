#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFileInfo>
#include <QtCore/QRegularExpression>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtTest/QTest>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMessageBox>

#include "editor/setting_file.h"
#include "editor/ui/equalizer_dlg.h"
#include "editor/ui/setting_file_actions.h"
#include "tests/gui/gui_app.h"
#include "tests/support/recording_sink.h"

namespace tqm {
namespace {

namespace fs = std::filesystem;

constexpr int kFileLoadButton = 1027;
constexpr int kFileSaveButton = 1028;
constexpr int kMenuSetR = 32783;
constexpr const char* kFilter = "Parametric Equalizer Setting File (*.pef)";

template <typename T>
T* visibleTopLevel() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<T*>(widget); found != nullptr && found->isVisible()) return found;
    }
    return nullptr;
}

// Answers, in order, the modal windows that an action opens, from inside the modal
// loop the action blocks in. While the action runs, a file dialog or message box
// beyond the script is recorded and closed, and so is every one after a step has
// waited 10 s, so a test never hangs in a window nobody answers.
class ModalScript final {
public:
    template <typename T>
    ModalScript& then(std::function<void(T&)> answer) {
        m_steps.push_back({[] { return static_cast<QWidget*>(visibleTopLevel<T>()); },
                           [answer](QWidget& window) { answer(static_cast<T&>(window)); }});
        return *this;
    }

    // Blocks as long as the action does.
    void run(const std::function<void()>& action) {
        m_running = true;
        m_clock.start();
        tick();
        action();
        m_running = false;
    }

    bool finished() const { return m_next == m_steps.size(); }
    const QStringList& unexpected() const { return m_unexpected; }
    std::string report() const { return m_unexpected.join(u'|').toStdString(); }

private:
    void tick() {
        if (!m_running) return;
        // The next tick is due before answering: an answer may open a nested modal loop.
        QTimer::singleShot(10, &m_context, [this] { tick(); });
        if (finished()) {
            closeStray(QString());
        } else if (QWidget* window = m_steps[m_next].find()) {
            // The step is taken before the answer, which may block in the next window.
            const Step& step = m_steps[m_next++];
            m_clock.restart();
            step.answer(*window);
        } else if (m_clock.elapsed() > 10000) {
            closeStray(QStringLiteral("timed out at step %1: ").arg(m_next));
        }
    }

    void closeStray(const QString& prefix) {
        if (auto* box = visibleTopLevel<QMessageBox>()) {
            m_unexpected << prefix + box->text();
            box->reject();
        } else if (auto* dialog = visibleTopLevel<QFileDialog>()) {
            m_unexpected << prefix + dialog->windowTitle();
            dialog->reject();
        }
    }

    struct Step {
        std::function<QWidget*()> find;
        std::function<void(QWidget&)> answer;
    };

    QObject m_context;
    std::vector<Step> m_steps;
    std::size_t m_next = 0;
    bool m_running = false;
    QElapsedTimer m_clock;
    QStringList m_unexpected;
};

// What a file dialog looked like when it was answered.
struct SeenDialog {
    QString title;
    QStringList filters;
    QString suffix;
    QString directory;
    QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptOpen;
    QFileDialog::FileMode fileMode = QFileDialog::Directory;
    bool toolkitDialog = false;
    bool confirmsOverwrite = false;
    bool modal = false;
    QWidget* owner = nullptr;
    QString offeredName;
};

SeenDialog describe(const QFileDialog& dialog) {
    SeenDialog seen;
    seen.title = dialog.windowTitle();
    seen.filters = dialog.nameFilters();
    seen.suffix = dialog.defaultSuffix();
    seen.directory = dialog.directory().absolutePath();
    seen.acceptMode = dialog.acceptMode();
    seen.fileMode = dialog.fileMode();
    seen.toolkitDialog = dialog.testOption(QFileDialog::DontUseNativeDialog);
    seen.confirmsOverwrite = !dialog.testOption(QFileDialog::DontConfirmOverwrite);
    seen.modal = dialog.isModal();
    seen.owner = dialog.parentWidget();
    const QStringList selected = dialog.selectedFiles();
    if (!selected.isEmpty() && !QFileInfo(selected.first()).isDir()) {
        seen.offeredName = QFileInfo(selected.first()).fileName();
    }
    return seen;
}

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

class FileDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_root = fs::path(m_dir.path().toStdString());
        m_oldCurrent = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(m_dir.path()));

        m_window = std::make_unique<CEqualizerDlg>(m_sink);
        CEqualizerDlg::StartOptions options;
        options.showSplash = false;
        options.fileLoadAction = [this] { fileLoad(*m_window); };
        options.fileSaveAction = [this] { fileSave(*m_window); };
        m_window->initialise(options);
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
        ASSERT_TRUE(test::waitUntil([&] { return !text(1077).isEmpty(); }));
    }

    void TearDown() override { QDir::setCurrent(m_oldCurrent); }

    template <typename T = QWidget>
    T* control(int id) const {
        T* found = m_window->findChild<T*>(QStringLiteral("id_%1").arg(id));
        EXPECT_NE(found, nullptr) << "control " << id;
        return found;
    }
    QString text(int id) const { return control<QLabel>(id)->text(); }
    void click(int id) {
        QWidget* widget = control(id);
        const QPoint centre = widget->mapTo(m_window.get(), widget->rect().center());
        QTest::mousePress(m_window->windowHandle(), Qt::LeftButton, {}, centre);
        QTest::mouseRelease(m_window->windowHandle(), Qt::LeftButton, {}, centre);
    }
    void clickTimes(int id, int times) {
        for (int i = 0; i < times; ++i) click(id);
    }

    // A file dialog step that records the dialog, then types name into the file name
    // field and presses Enter, as the operator does.
    static std::function<void(QFileDialog&)> choose(const QString& name, SeenDialog* seen = nullptr) {
        return [name, seen](QFileDialog& dialog) {
            if (seen != nullptr) *seen = describe(dialog);
            auto* field = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (field == nullptr) {
                ADD_FAILURE() << "the file dialog has no file name field";
                dialog.reject();
                return;
            }
            field->setText(name);
            QTest::keyClick(field, Qt::Key_Return);
        };
    }
    static std::function<void(QFileDialog&)> cancel(SeenDialog* seen = nullptr) {
        return [seen](QFileDialog& dialog) {
            if (seen != nullptr) *seen = describe(dialog);
            dialog.reject();
        };
    }
    static std::function<void(QMessageBox&)> answerBox(QMessageBox::StandardButton button, QString* shown) {
        return [button, shown](QMessageBox& box) {
            if (shown != nullptr) *shown = box.text();
            QAbstractButton* answer = box.button(button);
            if (answer == nullptr) {
                ADD_FAILURE() << "the box has no such button: " << box.text().toStdString();
                box.reject();
                return;
            }
            answer->click();
        };
    }
    QString name(const fs::path& path) const { return QString::fromStdString(path.string()); }

    // Loads a file through FILE LOAD, expecting a message box; its text.
    QString loadThroughDialog(const fs::path& path) {
        QString message;
        ModalScript script;
        script.then<QFileDialog>(choose(name(path))).then<QMessageBox>(answerBox(QMessageBox::Ok, &message));
        script.run([&] { click(kFileLoadButton); });
        EXPECT_TRUE(script.unexpected().isEmpty()) << script.report();
        return message;
    }

    QApplication& m_app = test::guiApp();
    QTemporaryDir m_dir;
    fs::path m_root;
    QString m_oldCurrent;
    test::RecordingSink m_sink;
    std::unique_ptr<CEqualizerDlg> m_window;
};

TEST_F(FileDialogsTest, SaveDialogOffersTheTimeStampNameAndCancelWritesNothing) {
    const EqualizerValues before = m_window->model().shown(0);
    SeenDialog seen;
    ModalScript script;
    script.then<QFileDialog>(cancel(&seen));
    const std::string earliest = SettingFile::defaultNameNow();
    script.run([&] { click(kFileSaveButton); });
    const std::string latest = SettingFile::defaultNameNow();
    ASSERT_TRUE(script.finished());
    EXPECT_TRUE(script.unexpected().isEmpty()) << script.report();

    EXPECT_EQ(seen.title, "File Save");
    EXPECT_EQ(seen.filters, QStringList{kFilter});
    EXPECT_EQ(seen.suffix, "pef");
    EXPECT_EQ(seen.directory, QDir(m_dir.path()).absolutePath());
    EXPECT_EQ(seen.acceptMode, QFileDialog::AcceptSave);
    EXPECT_EQ(seen.fileMode, QFileDialog::AnyFile);
    EXPECT_TRUE(seen.toolkitDialog);
    EXPECT_TRUE(seen.confirmsOverwrite);
    EXPECT_TRUE(seen.modal);
    EXPECT_EQ(seen.owner, m_window.get());
    // The local time of the click: YYYYMMDDhhmmss.pef.
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{14}\\.pef$")).match(seen.offeredName).hasMatch())
        << seen.offeredName.toStdString();
    EXPECT_GE(seen.offeredName.toStdString(), earliest);
    EXPECT_LE(seen.offeredName.toStdString(), latest);

    EXPECT_TRUE(fs::is_empty(m_root));
    EXPECT_EQ(m_window->model().shown(0), before);
}

TEST_F(FileDialogsTest, LoadDialogAsksForAnExistingFileAndCancelChangesNothing) {
    clickTimes(1156, 2);  // EQ1 FREQ up: 200 Hz, not applied
    const EqualizerValues shown = m_window->model().shown(0);
    const EqualizerValues reference = m_window->model().reference(0);
    SeenDialog seen;
    ModalScript script;
    script.then<QFileDialog>(cancel(&seen));
    script.run([&] { click(kFileLoadButton); });
    ASSERT_TRUE(script.finished());
    EXPECT_TRUE(script.unexpected().isEmpty()) << script.report();

    EXPECT_EQ(seen.title, "File Load");
    EXPECT_EQ(seen.filters, QStringList{kFilter});
    EXPECT_EQ(seen.suffix, "pef");
    EXPECT_EQ(seen.directory, QDir(m_dir.path()).absolutePath());
    EXPECT_EQ(seen.acceptMode, QFileDialog::AcceptOpen);
    EXPECT_EQ(seen.fileMode, QFileDialog::ExistingFile);
    EXPECT_TRUE(seen.toolkitDialog);
    EXPECT_EQ(seen.owner, m_window.get());
    EXPECT_TRUE(seen.offeredName.isEmpty()) << seen.offeredName.toStdString();

    EXPECT_EQ(m_window->model().shown(0), shown);
    EXPECT_EQ(m_window->model().reference(0), reference);
    EXPECT_EQ(text(1076), "200 Hz");
}

TEST_F(FileDialogsTest, SavedFileLoadsBackIntoAnotherSet) {
    clickTimes(1156, 1);  // EQ1 FREQ up: 100 Hz
    clickTimes(1160, 2);  // EQ2 FREQ up: 800 Hz
    clickTimes(1162, 8);  // EQ2 LEVEL down: -3 dB
    clickTimes(1105, 6);  // EQ3 BWTH down: 4
    const EqualizerValues saved = m_window->model().shown(0);
    ASSERT_EQ(text(1090), "-3 dB");

    // A name typed without the extension gets it; the directory may be another one,
    // and the process's current directory stays where it was.
    fs::create_directory(m_root / "settings");
    ModalScript save;
    save.then<QFileDialog>(choose(name(m_root / "settings" / "trip")));
    save.run([&] { click(kFileSaveButton); });
    ASSERT_TRUE(save.finished());
    EXPECT_TRUE(save.unexpected().isEmpty()) << save.report();
    EXPECT_EQ(readBytes(m_root / "settings" / "trip.pef"), "100,5,10\r\n800,-3,10\r\n0,5,4\r\n");
    EXPECT_EQ(QDir::currentPath(), m_dir.path());

    control<QAction>(kMenuSetR)->trigger();
    ASSERT_EQ(m_window->model().currentSet(), 1);
    ASSERT_NE(m_window->model().shown(1), saved);
    ModalScript load;
    load.then<QFileDialog>(choose(name(m_root / "settings" / "trip.pef")));
    load.run([&] { click(kFileLoadButton); });
    ASSERT_TRUE(load.finished());
    EXPECT_TRUE(load.unexpected().isEmpty()) << load.report();

    EXPECT_EQ(m_window->model().shown(1), saved);
    EXPECT_EQ(m_window->model().reference(1), saved);
    EXPECT_TRUE(test::waitUntil([&] { return text(1107) == "4"; }));
    EXPECT_EQ(text(1076), "100 Hz");
    EXPECT_EQ(text(1089), "800 Hz");
    EXPECT_EQ(text(1090), "-3 dB");
    EXPECT_EQ(text(1102), "OFF");
    // Offline nothing goes to the transceiver.
    EXPECT_TRUE(m_sink.commands.empty());
}

TEST_F(FileDialogsTest, SavingOverAFileAsksFirst) {
    const fs::path target = m_root / "old.pef";
    writeBytes(target, "700,-20,1\r\n1500,-20,1\r\n3200,-20,1\r\n");
    clickTimes(1157, 3);  // EQ1 LEVEL up: +8 dB

    QString question;
    ModalScript refuse;
    refuse.then<QFileDialog>(choose(name(target)))
        .then<QMessageBox>(answerBox(QMessageBox::No, &question))
        .then<QFileDialog>(cancel());  // still open after the refusal
    refuse.run([&] { click(kFileSaveButton); });
    ASSERT_TRUE(refuse.finished());
    EXPECT_TRUE(refuse.unexpected().isEmpty()) << refuse.report();
    EXPECT_TRUE(question.contains(QStringLiteral("old.pef"))) << question.toStdString();
    EXPECT_EQ(readBytes(target), "700,-20,1\r\n1500,-20,1\r\n3200,-20,1\r\n");

    ModalScript replace;
    replace.then<QFileDialog>(choose(name(target))).then<QMessageBox>(answerBox(QMessageBox::Yes, nullptr));
    replace.run([&] { click(kFileSaveButton); });
    ASSERT_TRUE(replace.finished());
    EXPECT_TRUE(replace.unexpected().isEmpty()) << replace.report();
    EXPECT_EQ(readBytes(target), "0,8,10\r\n0,5,10\r\n0,5,10\r\n");
}

TEST_F(FileDialogsTest, RejectedFilesShowTheInputRangeMessageAndChangeNothing) {
    clickTimes(1164, 3);  // EQ3 FREQ up: 1700 Hz
    click(1114);          // APPLI
    const EqualizerValues shown = m_window->model().shown(0);
    const EqualizerValues reference = m_window->model().reference(0);

    const std::vector<std::pair<const char*, std::string>> files = {
        {"not_a_table_frequency.pef", "650,5,10\r\n0,5,10\r\n0,5,10\r\n"},
        {"level_too_high.pef", "100,5,10\r\n700,11,10\r\n0,5,10\r\n"},
        {"bandwidth_zero_last.pef", "100,5,10\r\n700,5,10\r\n1500,5,0\r\n"},
        {"no_final_break.pef", "100,5,10\r\n700,5,10\r\n1500,5,10"},
        {"trailing_comma.pef", "100,5,10,\r\n700,5,10\r\n1500,5,10\r\n"},
        {"empty.pef", ""},
    };
    for (const auto& [file, bytes] : files) {
        SCOPED_TRACE(file);
        writeBytes(m_root / file, bytes);
        EXPECT_EQ(loadThroughDialog(m_root / file), "The input range is incorrect.");
        EXPECT_EQ(m_window->model().shown(0), shown);
        EXPECT_EQ(m_window->model().reference(0), reference);
    }

    // A good file after the bad ones still loads.
    writeBytes(m_root / "good.pef", "100, 5, 10\n700,5,10\n1500,5,10\n");
    ModalScript good;
    good.then<QFileDialog>(choose(name(m_root / "good.pef")));
    good.run([&] { click(kFileLoadButton); });
    EXPECT_TRUE(good.finished());
    EXPECT_TRUE(good.unexpected().isEmpty()) << good.report();
    EXPECT_TRUE(test::waitUntil([&] { return text(1102) == "1500 Hz"; }));
    EXPECT_EQ(text(1076), "100 Hz");
}

TEST_F(FileDialogsTest, AFileThatCannotBeWrittenIsReported) {
    writeBytes(m_root / "plain", "not a directory\n");
    // A directory under a plain file, and a path of 260 characters or more.
    const fs::path longDirectory = m_root / std::string(120, 'a') / std::string(120, 'b');
    fs::create_directories(longDirectory);
    const fs::path targets[] = {m_root / "plain" / "inside.pef", longDirectory / "long_name.pef"};
    ASSERT_GE(targets[1].string().size(), kMaxPathLength);

    for (const fs::path& target : targets) {
        SCOPED_TRACE(target.string());
        QString message;
        ModalScript script;
        script.then<QFileDialog>(choose(name(target))).then<QMessageBox>(answerBox(QMessageBox::Ok, &message));
        script.run([&] { click(kFileSaveButton); });
        ASSERT_TRUE(script.finished());
        EXPECT_TRUE(script.unexpected().isEmpty()) << script.report();
        EXPECT_EQ(message, "The setting file could not be saved.");
        EXPECT_FALSE(fs::exists(target));
    }
    EXPECT_EQ(readBytes(m_root / "plain"), "not a directory\n");
}

TEST_F(FileDialogsTest, BothButtonsDoNothingWhileRepliesAreAwaited) {
    m_window->model().setPendingReplies(1);
    const EqualizerValues shown = m_window->model().shown(0);
    ModalScript none;
    none.run([&] {
        click(kFileSaveButton);
        click(kFileLoadButton);
    });
    EXPECT_TRUE(none.unexpected().isEmpty()) << none.report();
    EXPECT_EQ(m_window->model().shown(0), shown);
    EXPECT_TRUE(fs::is_empty(m_root));
    m_window->model().setPendingReplies(0);
}

}  // namespace
}  // namespace tqm
