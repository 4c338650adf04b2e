#include <string>

#include <gtest/gtest.h>

#include "platform/port_target.h"

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

}  // namespace
}  // namespace tqm
