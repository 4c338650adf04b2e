#include "editor/notice_detail.h"

#include "editor/string_table.h"
#include "serial/sio_port.h"

namespace tqm {
namespace {

std::string connectFailedDetail() {
    const Sio_Port port;
    const std::string com = "COM" + std::to_string(port.portNumber());
    const std::string baud = std::to_string(port.baudRate()) + " baud";
    return "No ZR-4700 answered on " + com + " (" + port.devicePath() + ") at " + baud +
           ". Check that the transceiver is switched on and set to " + baud + ", that " + com +
           " is the port its cable is on (Setup > Ports...), and the cable.";
}

}  // namespace

std::string noticeDetail(std::int32_t stringId) {
    switch (stringId) {
    case IDS_PORT_OPEN_FAILED:
    case IDS_PORT_PROBE_FAILED: return Sio_Port().lastFault().reason;
    case IDS_CONNECT_FAILED: return connectFailedDetail();
    default: return {};
    }
}

}  // namespace tqm
