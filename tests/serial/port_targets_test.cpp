#include <string>

#include <gtest/gtest.h>

#include "platform/port_target.h"
#include "serial/port_dialog_controller.h"
#include "serial/port_map.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

TEST(PortTargets, DevicePathsAndNetworkTargetsAreReadAndEverythingElseIsRefusedWithAReason) {
    struct Row {
        std::string text;
        PortTargetKind kind;
        const char* where;    // the path, or the host
        int port;
        const char* problem;  // nullptr: usable
    };
    const Row rows[] = {
        {"/dev/serial/by-id/usb-FTDI-if00", PortTargetKind::Device, "/dev/serial/by-id/usb-FTDI-if00", 0, nullptr},
        {"  rfc2217://shack-pi.local:4001 ", PortTargetKind::Rfc2217, "shack-pi.local", 4001, nullptr},
        {"TCP://192.168.1.5:2000", PortTargetKind::RawTcp, "192.168.1.5", 2000, nullptr},
        {"tcp://[fe80::1%eth0]:65535", PortTargetKind::RawTcp, "fe80::1%eth0", 65535, nullptr},
        {"", PortTargetKind::Device, "", 0, "empty"},
        {"/" + std::string(5000, 'd'), PortTargetKind::Device, "", 0, "longer than 4095"},
        {"telnet://shack:23", PortTargetKind::Device, "", 0, "not a kind of port"},
        {"tcp://shack", PortTargetKind::RawTcp, "", 0, "HOST:PORT"},
        {"rfc2217://shack:0", PortTargetKind::Rfc2217, "", 0, "1 to 65535"},
        {"tcp://shack:65536", PortTargetKind::RawTcp, "", 0, "1 to 65535"},
        {"tcp://shack:20x0", PortTargetKind::RawTcp, "", 0, "1 to 65535"},
        {"tcp://::1:7000", PortTargetKind::RawTcp, "", 0, "brackets"},
        {"tcp://[::1]7000", PortTargetKind::RawTcp, "", 0, "[ADDRESS]:PORT"},
        {"rfc2217://:4000", PortTargetKind::Rfc2217, "", 0, "host name is empty"},
        {"tcp://sh ack:4000", PortTargetKind::RawTcp, "", 0, "cannot have"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.substr(0, 40));
        const PortTargetParse parsed = parsePortTarget(row.text);
        if (row.problem != nullptr) {
            EXPECT_NE(parsed.problem.find(row.problem), std::string::npos) << parsed.problem;
            continue;
        }
        ASSERT_TRUE(parsed.ok()) << parsed.problem;
        EXPECT_EQ(parsed.target.kind, row.kind);
        EXPECT_EQ(row.kind == PortTargetKind::Device ? parsed.target.path : parsed.target.host, row.where);
        EXPECT_EQ(parsed.target.port, row.port);
    }
}

TEST(PortTargets, ThePortMapAndComSelectTakeNetworkTargetsAndNameUnusableEntries) {
    PortMap().reset();
    test::ScratchDirectory directory;
    ASSERT_TRUE(test::writeFile(directory / "PortMap.csv", "1,rfc2217://shack:4001\n2, tcp://[::1]:2000\n3,ftp://x:1\n"));
    PortMap().loadFile(directory / "PortMap.csv");
    EXPECT_EQ(PortMap().entry(1).target.kind, PortTargetKind::Rfc2217);
    EXPECT_EQ(PortMap().entry(2).target.host, "::1");
    EXPECT_NE(PortMap().entry(3).problem.find("line 3: 'ftp://' is not a kind of port"), std::string::npos);
    EXPECT_TRUE(PortMap().setOverride(4, "tcp://radio:7000"));
    EXPECT_FALSE(PortMap().setOverride(4, "tcp://radio"));
    EXPECT_EQ(PortMap().path(4), "tcp://radio:7000");

    const PortDialogController dialog(PortSetting::ComPort, 0, directory.path());
    EXPECT_EQ(dialog.rows()[0].text, "COM1  rfc2217://shack:4001") << "a network port counts as present";
    EXPECT_EQ(dialog.rows()[2].text, "COM3  unusable entry");
    EXPECT_FALSE(dialog.rows()[2].present);
    PortMap().reset();
}

}  // namespace
}  // namespace tqm
