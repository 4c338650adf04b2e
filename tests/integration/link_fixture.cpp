#include "tests/integration/link_fixture.h"

#include "editor/engine.h"
#include "protocol/trx_state.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"

namespace tqm::test {

void LinkFixture::startAll(sim::SimConfig config, int programBaud) {
    config.baud = programBaud;
    m_sim = std::make_unique<sim::SimulatedTransceiver>(config);
    ASSERT_TRUE(m_sim->start()) << m_sim->errorText();
    ASSERT_TRUE(PortMap().setOverride(1, m_sim->devicePath()));
    Engine engine;
    engine.initialiseState();
    ASSERT_TRUE(engine.waitMenuListReady(kLinkTimeout));
    Sio_Port port;
    port.setPortNumber(1);
    port.setBaudRate(programBaud);
    m_host = std::make_unique<HeadlessHost>();
    ASSERT_TRUE(engine.startLink());
}

void LinkFixture::TearDown() {
    EXPECT_TRUE(Engine().stop());
    m_host.reset();
    if (m_sim) m_sim->stop();
    PortMap().reset();
}

std::vector<std::string> LinkFixture::commands() const {
    std::vector<std::string> result;
    for (const auto& entry : m_sim->wireLog()) {
        if (entry.direction == sim::WireDirection::ToTransceiver) result.push_back(entry.bytes);
    }
    return result;
}

bool LinkFixture::stateMatchesTransceiver() const {
    Trx_StateGuard state;
    for (int set = 0; set < 3; ++set) {
        for (int band = 0; band < 3; ++band) {
            for (int param = 0; param < 3; ++param) {
                if (state.getPeq(set, band, static_cast<PeqParam>(param)) != m_sim->peValue({set, band, param})) return false;
            }
        }
    }
    return true;
}

void LinkFixture::connect() {
    m_host->pressCom();
    ASSERT_TRUE(m_sim->waitForCommand("PS;", kLinkTimeout)) << "no start-up read";
    ASSERT_TRUE(m_host->waitUntil([this] { return m_host->connected() && m_host->pendingReplies() == 0; }, kLinkTimeout));
    // The start-up read ends with the power read; its reply makes the link fully up.
    ASSERT_TRUE(m_host->waitUntil([] { return Trx_ShadowGuard().powerState() == 1; }, kLinkTimeout));
}

}  // namespace tqm::test
