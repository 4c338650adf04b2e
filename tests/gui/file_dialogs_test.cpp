#include <filesystem>
#include <functional>
#include <string>
#include <utility>

#include <gtest/gtest.h>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QRegularExpression>
#include <QtGui/QAction>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QLineEdit>

#include "editor/setting_file.h"
#include "tests/gui/main_window_fixture.h"
#include "tests/gui/modal_answerer.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

using enum ControlId;

// A file dialog step: lets `inspect` look at the dialog, then types the name into the
// file name field and presses Enter, as the operator does; an empty name cancels.
std::function<void(QFileDialog&)> choose(const fs::path& path, std::function<void(QFileDialog&)> inspect = {}) {
    return [name = QString::fromStdString(path.string()), inspect](QFileDialog& dialog) {
        if (inspect) inspect(dialog);
        auto* field = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (name.isEmpty() || field == nullptr) {
            EXPECT_TRUE(name.isEmpty()) << "the file dialog has no file name field";
            dialog.reject();
            return;
        }
        field->setText(name);
        QTest::keyClick(field, Qt::Key_Return);
    };
}

// A message box step: notes its text and presses OK.
std::function<void(QMessageBox&)> noteAndOk(QString& shown) {
    return [&shown](QMessageBox& box) {
        shown = box.text();
        box.button(QMessageBox::Ok)->click();
    };
}

class FileDialogsTest : public test::MainWindowFixture {
protected:
    void SetUp() override {
        m_oldCurrent = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(m_dir.path().string())));
        open();
    }
    void TearDown() override { QDir::setCurrent(m_oldCurrent); }

    // Runs FILE SAVE or FILE LOAD with the answers given; true when all were used
    // and no other window opened.
    bool run(ControlId button, test::ModalAnswerer& answers) {
        click(button);
        EXPECT_TRUE(answers.unscripted().empty()) << answers.unscripted().front();
        return answers.finished();
    }

    test::ScratchDirectory m_dir;
    QString m_oldCurrent;
};

TEST_F(FileDialogsTest, SavedFileLoadsBackIntoAnotherSet) {
    click(Eq1FreqUp);        // 100 Hz
    click(Eq2FreqUp, 2);     // 800 Hz
    click(Eq2LevelDown, 8);  // -3 dB
    click(Eq3BwthDown, 6);   // 4
    const EqualizerValues saved = m_window->model().shown(0);

    // The save dialog offers the local time of the click as YYYYMMDDhhmmss.pef. A name
    // typed without the extension gets it, in another directory; the current one stays.
    QString offered;
    fs::create_directory(m_dir / "settings");
    const std::string earliest = SettingFile::defaultNameNow();
    {
        test::ModalAnswerer save;
        save.then<QFileDialog>(choose(m_dir / "settings" / "trip", [&](QFileDialog& dialog) {
            offered = QFileInfo(dialog.selectedFiles().value(0)).fileName();
        }));
        ASSERT_TRUE(run(FileSaveButton, save));
    }
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{14}\\.pef$")).match(offered).hasMatch());
    EXPECT_GE(offered.toStdString(), earliest);
    EXPECT_EQ(readFile(m_dir / "settings" / "trip.pef"), "100,5,10\r\n800,-3,10\r\n0,5,4\r\n");
    EXPECT_EQ(QDir::currentPath().toStdString(), m_dir.path().string());

    control<QAction>(MenuSetR)->trigger();
    ASSERT_NE(m_window->model().shown(1), saved);
    test::ModalAnswerer load;
    load.then<QFileDialog>(choose(m_dir / "settings" / "trip.pef"));
    ASSERT_TRUE(run(FileLoadButton, load));
    EXPECT_TRUE(m_window->model().shown(1) == saved && m_window->model().reference(1) == saved);
    EXPECT_TRUE(test::waitUntil([&] { return text(Eq3BwthValue) == "4" && text(Eq2LevelValue) == "-3 dB"; }));
    EXPECT_TRUE(m_sink.commands.empty()) << "offline nothing goes to the transceiver";
}

TEST_F(FileDialogsTest, RejectedFilesShowTheInputRangeMessageAndChangeNothing) {
    click(Eq3FreqUp, 3);  // 1700 Hz
    click(AppliButton);
    const EqualizerValues reference = m_window->model().reference(0);
    const std::pair<const char*, const char*> files[] = {
        {"frequency.pef", "650,5,10\r\n0,5,10\r\n0,5,10\r\n"},
        {"level.pef", "100,5,10\r\n700,11,10\r\n0,5,10\r\n"},
        {"no_final_break.pef", "100,5,10\r\n700,5,10\r\n1500,5,10"},
        {"empty.pef", ""},
    };
    for (const auto& [file, bytes] : files) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(writeFile(m_dir / file, bytes));
        QString message;
        test::ModalAnswerer answers;
        answers.then<QFileDialog>(choose(m_dir / file)).then<QMessageBox>(noteAndOk(message));
        ASSERT_TRUE(run(FileLoadButton, answers));
        EXPECT_EQ(message, "The input range is incorrect.");
        EXPECT_TRUE(m_window->model().shown(0) == reference && m_window->model().reference(0) == reference);
    }
}

TEST_F(FileDialogsTest, AFileThatCannotBeWrittenIsReported) {
    ASSERT_TRUE(writeFile(m_dir / "plain", "not a directory\n"));
    QString message;
    test::ModalAnswerer answers;
    answers.then<QFileDialog>(choose(m_dir / "plain" / "inside.pef")).then<QMessageBox>(noteAndOk(message));
    ASSERT_TRUE(run(FileSaveButton, answers));
    EXPECT_EQ(message, "The setting file could not be saved.");
    EXPECT_EQ(readFile(m_dir / "plain"), "not a directory\n");
}

}  // namespace
}  // namespace tqm
