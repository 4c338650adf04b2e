#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/simulated_transceiver.h"
#include "tests/integration/headless_host.h"

namespace tqm::test {

// The whole engine over a pseudo-terminal against the simulated transceiver, with
// the headless host in the main window's place.
class LinkFixture : public ::testing::Test {
protected:
    void startAll(sim::SimConfig config = {}, int programBaud = 38400);
    void TearDown() override;

    // The commands the transceiver received, in order.
    std::vector<std::string> commands() const;
    // True when every one of the 27 values equals the transceiver's.
    bool stateMatchesTransceiver() const;
    // Presses COM and waits until the 27th start-up reply has been taken in.
    void connect();

    std::unique_ptr<sim::SimulatedTransceiver> m_sim;
    std::unique_ptr<HeadlessHost> m_host;
};

inline constexpr std::chrono::milliseconds kLinkTimeout{10000};

}  // namespace tqm::test
