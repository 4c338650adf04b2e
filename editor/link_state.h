#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tqm {

// The transceiver link as the main window sees it.
enum class LinkState : std::uint8_t {
    Offline,
    Connecting,                // COM was pressed; the connecting box waits for auto information
    WaitingForIdentification,  // auto information came on; the identification is awaited
    Connected,
    TransceiverOff,            // connected, and the transceiver reports its power off
};

struct LinkStateName {
    LinkState state;
    std::string_view text;
};

inline constexpr std::array<LinkStateName, 5> kLinkStateNames{{
    {LinkState::Offline, "Offline"},
    {LinkState::Connecting, "Connecting"},
    {LinkState::WaitingForIdentification, "Waiting for identification"},
    {LinkState::Connected, "Connected"},
    {LinkState::TransceiverOff, "Transceiver switched off"},
}};

// The state in words, for the operator.
constexpr std::string_view linkStateText(LinkState state) {
    for (const LinkStateName& name : kLinkStateNames) {
        if (name.state == state) return name.text;
    }
    return {};
}

}  // namespace tqm
