#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "platform/port_target.h"
#include "serial/comm_setting_file.h"
#include "serial/csv_table.h"
#include "serial/port_binding.h"
#include "serial/port_dialog_controller.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"
#include "tests/support/fake_device_tree.h"
#include "tests/support/idle_fifo.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

namespace fs = std::filesystem;

// The files the serial layer reads and writes: the CSV tables, the port map and the port settings.
class SettingFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        Sio_Port().initialise();
        PortMap().reset();
    }
    void TearDown() override { SetUp(); }

    // Writes the bytes to a fresh file and loads it into table.
    bool loadTable(const std::string& bytes) {
        const auto path = m_dir / ("t" + std::to_string(m_files++) + ".csv");
        EXPECT_TRUE(test::writeFile(path, bytes));
        table.clear();
        return table.load(path.c_str());
    }
    fs::path file(const char* name) const { return m_dir / name; }
    fs::path map() const { return m_dir / "PortMap.csv"; }

    CsvTable table;
    test::ScratchDirectory m_dir;
    int m_files = 0;
    std::string m_problem;
};

// Cells end at commas and line feeds; quotes group text and a doubled quote gives one;
// Shift-JIS characters are dropped; a line without its line feed is no row.
TEST_F(SettingFilesTest, CsvTablesAreReadCellByCellAndRefuseWhatTheyCannotHold) {
    EXPECT_FALSE(table.load(file("missing.csv").c_str()));
    EXPECT_FALSE(table.load(m_dir.path().c_str())) << "a directory";
    ASSERT_TRUE(test::makeIdleFifo(file("pipe.csv")));
    bool loaded = true;
    EXPECT_TRUE(test::endsWithoutAWriter(file("pipe.csv"), [&] { loaded = table.load(file("pipe.csv").c_str()); }));
    EXPECT_FALSE(loaded) << "a named pipe";
    EXPECT_FALSE(loadTable(std::string(CsvTable::kMaxFileBytes, 'a') + "b\n"));
    // Small, but it would describe a table of billions of bytes.
    EXPECT_FALSE(loadTable(std::string(3000, ',') + "\n" + std::string(3000, 'x') + "\n" + std::string(3000, '\n')));
    EXPECT_EQ(table.rows(), 0);

    const struct {
        std::string bytes;
        std::vector<std::vector<std::string>> cells;
    } rows[] = {
        {"1,4800,0\n", {{"1", "4800", "0"}}}, {"1,4800,0", {}},
        {"a\nb,c,d\n\nlast,not,read", {{"a", "", ""}, {"b", "c", "d"}, {"", "", ""}}},
        {"\"a,b\",\"x\"\"y\",\"p\nq\"\n", {{"a,b", "x\"y", "p\nq"}}},
        {"ab\x82\xA0\x93\xFA" "cd,\xE0\x40x\n", {{"abcd", "x"}}},
        {"1\x81" "2,\xFC,3\n", {{"12", "", "3"}}},  // a lead byte before an invalid second byte goes alone
        {"\x81\xFC" "x\xFC\x40\n", {{"x"}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.bytes);
        ASSERT_TRUE(loadTable(row.bytes));
        decltype(row.cells) cells(static_cast<std::size_t>(table.rows()));
        for (int r = 0; r < table.rows(); ++r) {
            for (int c = 0; c < table.columns(); ++c) cells[static_cast<std::size_t>(r)].emplace_back(table.cell(r, c));
        }
        EXPECT_EQ(cells, row.cells);
        EXPECT_STREQ(table.cell(table.rows(), 0), "") << "outside the table reads empty";
    }
    ASSERT_TRUE(loadTable("1,4800,0\n"));
    EXPECT_EQ(table.cellSize(), 5) << "the widest cell and its zero";
    ASSERT_TRUE(test::writeFile(file("other.csv"), "9\n9\n"));
    EXPECT_FALSE(table.load(file("other.csv").c_str())) << "a loaded table is not overwritten";
    EXPECT_STREQ(table.cell(0, 1), "4800");
}

TEST(PortTargets, DevicePathsAndNetworkTargetsAreReadAndEverythingElseIsRefusedWithAReason) {
    const struct {
        std::string text;
        const char* problem;  // nullptr: usable
        PortTargetKind kind = PortTargetKind::Device;
        const char* where = "";  // the path, or the host
        int port = 0;
    } rows[] = {
        {"/dev/serial/by-id/usb-FTDI-if00", nullptr, PortTargetKind::Device, "/dev/serial/by-id/usb-FTDI-if00", 0},
        {"  rfc2217://shack-pi.local:4001 ", nullptr, PortTargetKind::Rfc2217, "shack-pi.local", 4001},
        {"TCP://192.168.1.5:2000", nullptr, PortTargetKind::RawTcp, "192.168.1.5", 2000},
        {"tcp://[fe80::1%eth0]:65535", nullptr, PortTargetKind::RawTcp, "fe80::1%eth0", 65535},
        {"", "empty"},                               {"/" + std::string(5000, 'd'), "longer than 4095"},
        {"telnet://shack:23", "not a kind of port"}, {"tcp://shack", "HOST:PORT"},
        {"rfc2217://shack:0", "1 to 65535"},         {"tcp://shack:65536", "1 to 65535"},
        {"tcp://shack:20x0", "1 to 65535"},          {"tcp://::1:7000", "brackets"},
        {"tcp://[::1]7000", "[ADDRESS]:PORT"},       {"rfc2217://:4000", "host name is empty"},
        {"tcp://sh ack:4000", "cannot have"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text.substr(0, 40));
        const PortTargetParse parsed = parsePortTarget(row.text);
        EXPECT_EQ(parsed.ok(), row.problem == nullptr);
        EXPECT_NE(parsed.problem.find(row.problem ? row.problem : ""), std::string::npos) << parsed.problem;
        if (row.problem != nullptr) continue;
        const auto& target = parsed.target;
        EXPECT_EQ(std::tuple(target.kind, row.kind == PortTargetKind::Device ? target.path : target.host, target.port),
                  std::tuple(row.kind, std::string(row.where), row.port));
    }
}

TEST_F(SettingFilesTest, PortMapEntriesThatCannotBeUsedAreNamedAndNeverFallBackToTheDefaultDevice) {
    // A missing map is no problem; one that cannot be read (here, too large: the reader's
    // other refusals are the CSV tables') leaves no COM number on its default device.
    EXPECT_FALSE(PortMap().loadFile(map()));
    EXPECT_TRUE(PortMap().warnings().empty());
    EXPECT_EQ(PortMap().path(1) + PortMap().path(20), "/dev/ttyS0/dev/ttyACM7");
    ASSERT_TRUE(test::writeFile(map(), std::string(200 * 1024, '#')));
    EXPECT_FALSE(PortMap().loadFile(map()));
    ASSERT_EQ(PortMap().warnings().size(), 1u);
    EXPECT_TRUE(PortMap().warnings()[0].starts_with(map().string() + ": ")) << PortMap().warnings()[0];
    for (int n = 1; n <= 20; ++n) {
        EXPECT_NE(PortMap().entry(n).problem.find("PortMap.csv cannot be read"), std::string::npos) << n;
    }

    ASSERT_TRUE(test::writeFile(map(), "# COM3 is the radio\n"
                                       "3,/dev/pts/7\r\n"
                                       "\n"
                                       "2=/dev/pts/8\n"
                                       "4,/dev/" + std::string(5000, 'x') + "\n"
                                       "25,/dev/pts/9\n"
                                       "4294967301,/dev/pts/9\n"  // would wrap around to COM5
                                       "6,\n"
                                       " 7 , /dev/serial/by-id/usb-radio \n"));
    EXPECT_TRUE(PortMap().loadFile(map()));
    const std::string kPaths[] = {"/dev/ttyS0",   "", "/dev/pts/7", "",  // "": unusable
                                  "/dev/ttyUSB0", "", "/dev/serial/by-id/usb-radio"};
    for (int com = 1; com <= 7; ++com) {
        SCOPED_TRACE(com);
        const bool unusable = kPaths[com - 1].empty();
        const std::string problem = PortMap().entry(com).problem;
        EXPECT_EQ(PortMap().path(com), kPaths[com - 1]);
        EXPECT_EQ(problem.find("unusable entry in PortMap.csv") != std::string::npos, unusable) << problem;
        EXPECT_FALSE(unusable && PortMap().deviceExists(com));
    }
    const std::vector<std::string> warnings = PortMap().warnings();
    ASSERT_EQ(warnings.size(), 5u);
    for (std::size_t i = 0; i < warnings.size(); ++i) {
        EXPECT_TRUE(warnings[i].starts_with(map().string() + ":" + std::to_string(i + 4) + ": ")) << warnings[i];
    }
    EXPECT_TRUE(PortMap().setOverride(2, "/dev/pts/8")) << "the command line still maps it";
    EXPECT_EQ(PortMap().path(2), "/dev/pts/8");
}

// The settings go through the port's setters: what they refuse takes their fallback.
// A shown set outside the three sets becomes the first; a line without its line break
// sets nothing and is no failure; a missing file gives the defaults.
TEST_F(SettingFilesTest, PortSettingsLoadThroughTheSettersAndSaveAsOneCrLfLine) {
    const struct {
        const char* content;  // nullptr: no file
        int port, baud;
        bool present;
        int shown;
        CommSettingRead read = CommSettingRead::Read;
    } rows[] = {
        {"20,9600,2\r\n", 20, 9600, true, 2},   {"21,57600,1\n", 1, 4800, true, 1},
        {"0,0,1\n", 1, 4800, true, 1},          {"4,38400,3\r\n", 4, 38400, true, 0},
        {"4,38400,x\r\n", 4, 38400, true, 0},  {"3,9600\r\n", 3, 9600, false, 0},
        // Beyond 32 bits nothing wraps (to 2, 9600 and 2): each number takes its fallback.
        {"4294967298,4294976896,4294967298\r\n", 1, 4800, true, 0},
        {"2,9600,2", 7, 19200, false, 0},        {nullptr, 1, 4800, true, 0, CommSettingRead::Missing},
    };
    const fs::path settings = m_dir / "CommoFiles" / "CommSetting.csv";
    fs::create_directory(settings.parent_path());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.content ? row.content : "no file");
        ASSERT_TRUE(Sio_Port().setPortNumber(7) && Sio_Port().setBaudRate(19200));  // what no row gives
        fs::remove(settings);
        ASSERT_TRUE(!row.content || test::writeFile(settings, row.content));
        CommSettingShownSet shown;
        EXPECT_EQ(CommSettingFile::load(m_dir.path(), shown), row.read);
        EXPECT_EQ(std::tuple(Sio_Port().portNumber(), Sio_Port().baudRate(), shown.present),
                  std::tuple(row.port, row.baud, row.present));
        EXPECT_TRUE(!row.present || shown.value == row.shown) << shown.value;
    }
    ASSERT_TRUE(Sio_Port().setPortNumber(3) && Sio_Port().setBaudRate(38400));
    EXPECT_EQ(CommSettingFile::save(m_dir.path(), 1), CommSettingWrite::Written);
    EXPECT_EQ(test::readFile(settings), "3,38400,1\r\n");
    fs::remove(settings);
    fs::create_directory(settings);
    CommSettingShownSet shown;
    EXPECT_EQ(CommSettingFile::load(m_dir.path(), shown), CommSettingRead::Unreadable) << "a directory";
    EXPECT_EQ(Sio_Port().portNumber(), 1);
    EXPECT_EQ(CommSettingFile::write(m_dir.path(), 20, 38400, 1), CommSettingWrite::Failed);
}

TEST_F(SettingFilesTest, ThePortMapAndComSelectTakeNetworkTargetsAndNameUnusableEntries) {
    ASSERT_TRUE(test::writeFile(map(), "1,rfc2217://shack:4001\n2, tcp://[::1]:2000\n3,ftp://x:1\n"));
    PortMap().loadFile(map());
    EXPECT_NE(PortMap().entry(3).problem.find("line 3: 'ftp://' is not a kind of port"), std::string::npos);
    EXPECT_TRUE(PortMap().setOverride(4, "tcp://radio:7000"));
    EXPECT_FALSE(PortMap().setOverride(4, "tcp://radio"));
    EXPECT_EQ(PortMap().path(4), "tcp://radio:7000");

    const PortDialogController dialog(PortSetting::ComPort, 0, m_dir.path());
    EXPECT_EQ(dialog.rows()[0].text, "COM1  rfc2217://shack:4001") << "a network port counts as present";
    EXPECT_EQ(dialog.rows()[1].text, "COM2  tcp://[::1]:2000");
    EXPECT_EQ(dialog.rows()[2].text, "COM3  unusable entry");
    EXPECT_FALSE(dialog.rows()[2].present);
}

// A binding replaces only its COM number's line and the map follows at once; what the
// map could not read back is refused, and a file it cannot read is kept.
TEST_F(SettingFilesTest, PortBindingRewritesOneLineAndRefusesWhatTheMapCouldNotRead) {
    ASSERT_TRUE(test::writeFile(map(), "# the radio room\r\n5,/dev/ttyUSB3\n7 , /dev/pts/1\n5,/dev/ttyUSB4\n"));
    ASSERT_TRUE(PortMap().setOverride(5, "/dev/pts/9"));
    EXPECT_EQ(PortBinding::bind(map(), 5, test::kFtdiById, m_problem), PortBindResult::Bound) << m_problem;
    EXPECT_EQ(test::readFile(map()), std::string("# the radio room\r\n5,") + test::kFtdiById + "\n7 , /dev/pts/1\n");
    EXPECT_EQ(PortMap().path(5), test::kFtdiById) << "the operator's choice wins over the run's override";

    EXPECT_EQ(PortBinding::bind(map(), 7, "", m_problem), PortBindResult::Bound);
    EXPECT_EQ(test::readFile(map()), std::string("# the radio room\r\n5,") + test::kFtdiById + "\n");
    EXPECT_EQ(PortMap().path(7), "/dev/ttyUSB2") << "back to its default device";

    using Target = std::pair<int, std::string>;
    for (const auto& [com, target] : {Target{21, "/dev/ttyUSB0"}, Target{0, ""}, Target{3, std::string(5000, 'x')}}) {
        m_problem.clear();
        EXPECT_EQ(PortBinding::bind(map(), com, target, m_problem), PortBindResult::BadTarget) << com;
        EXPECT_FALSE(m_problem.empty());
    }
    EXPECT_EQ(test::readFile(map()), std::string("# the radio room\r\n5,") + test::kFtdiById + "\n");
    fs::remove(map());
    fs::create_directory(map());
    EXPECT_EQ(PortBinding::bind(map(), 3, "/dev/ttyUSB0", m_problem), PortBindResult::Unreadable);
    EXPECT_TRUE(fs::is_directory(map()));
}

}  // namespace
}  // namespace tqm
