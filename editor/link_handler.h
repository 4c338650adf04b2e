#pragma once

#include <cstdint>

#include "editor/equalizer_model.h"
#include "editor/link_state.h"
#include "editor/link_view.h"

namespace tqm {

// The main window's side of the transceiver link: the COM action, the reactions to
// the reply notifications (ID, PS, AI, PE) and the failure notices. It decides when
// the editor counts as connected. User-interface thread only.
class LinkHandler final {
public:
    static constexpr int kStartupReplies = 27;

    LinkHandler(EqualizerModel& model, LinkView& view);

    // COM released: connect or disconnect. Blocks while the connecting box is open.
    void onComAction();
    // Auto information came on: closes the connecting box. Blocks 25 ms after it.
    void onPowerOn();
    // The connection time-out: closes the box and tells the failure. Blocks 25 ms and
    // then while the notice box is open.
    void onConnectTimer();
    void onReplyId();
    void onReplyPs();
    void onReplyAi();
    // A PE reply was stored; address names its value as the notification carries it
    // (1 + 9 * set + p; 0 unknown).
    void onReplyPe(std::uintptr_t address = 0);
    // A failure notice of the given row; force shows it even while another is open.
    // An unforced box keeps the port from opening while it is up.
    // Blocks while the box is open.
    void onComFailed(bool force, int row);

    // Where the link stands; the view hears of every change (showLinkState).
    LinkState state() const;
    bool connectRequested() const { return m_connectRequested; }
    bool connectingShown() const { return m_connectingShown; }
    bool boxInProgress() const { return m_boxInProgress; }

private:
    // Tells the view when the state has changed since it was last told.
    void publishState();
    // Blocks while the failure notice is open.
    void showFailure(int stringId);

    EqualizerModel& m_model;
    LinkView& m_view;
    bool m_connectRequested = false;
    bool m_connectingShown = false;
    bool m_boxInProgress = false;
    bool m_transceiverOff = false;  // the last power report said off
    bool m_failureShown = false;    // a failure notice is open
    LinkState m_shownState = LinkState::Offline;
};

}  // namespace tqm
