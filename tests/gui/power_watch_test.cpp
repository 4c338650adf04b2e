#include <gtest/gtest.h>

#include "editor/ui/power_watch.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"
#include "sim/simulated_transceiver.h"
#include "tests/gui/gui_app.h"

namespace tqm {
namespace {

TEST(PowerWatch, SuspendAndResumeCloseTheOpenPort) {
    test::guiApp();
    sim::SimulatedTransceiver radio;
    ASSERT_TRUE(radio.start());
    ASSERT_TRUE(PortMap().setOverride(1, radio.devicePath()));
    Sio_Port port;
    port.initialise();
    CPowerWatch watch;
    for (bool suspending : {true, false}) {
        ASSERT_TRUE(port.open());
        ASSERT_TRUE(port.isOpen());
        watch.onPrepareForSleep(suspending);
        EXPECT_FALSE(port.isOpen()) << (suspending ? "suspend" : "resume");
    }
    port.initialise();
    PortMap().reset();
    radio.stop();
}

}  // namespace
}  // namespace tqm
