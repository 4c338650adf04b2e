#include "editor/link_handler.h"

#include "editor/notice_table.h"
#include "platform/thread_directory.h"
#include "protocol/protocol_messages.h"
#include "protocol/trx_state.h"
#include "serial/sio_port.h"

namespace tqm {
namespace {

constexpr std::chrono::milliseconds kSettlePause{25};

std::int32_t autoInfo() { return Trx_StateGuard().get(StateField::AutoInfo); }
std::int32_t modelCode() { return Trx_StateGuard().get(StateField::ModelCode); }
std::int32_t powerState() { return Trx_StateGuard().get(StateField::PowerState); }
void postLinkToggle() { ThreadDirectory().post(WorkerRole::AnlSend, UWM_CMD_LINK_TOGGLE); }

}  // namespace

LinkHandler::LinkHandler(EqualizerModel& model, LinkView& view) : m_model(model), m_view(view) {}

void LinkHandler::onComAction() {
    if (m_model.pendingReplies() != 0) return;
    if (!m_model.connected()) Trx_StateGuard().set(StateField::ModelCode, 0);
    // The operator asks for the port: if it still cannot be opened, say so again.
    Sio_Port().rearmFailureNotice();
    postLinkToggle();
    if (autoInfo() != 0) return;
    m_connectRequested = true;
    m_model.setPendingReplies(kStartupReplies);
    m_model.setReloadScope(EqualizerModel::kAllSets);
    m_transceiverOff = false;
    m_view.drawEmptyGraph();
    m_view.startConnectTimer();
    m_connectingShown = true;
    publishState();
    m_view.runConnectingBox();
    m_view.pause(kSettlePause);
}

void LinkHandler::onPowerOn() {
    if (!m_connectingShown) return;
    m_view.stopConnectTimer();
    m_view.closeConnectingBox();
    m_connectingShown = false;
    publishState();
    m_view.pause(kSettlePause);
}

void LinkHandler::onConnectTimer() {
    if (!m_connectingShown) return;
    m_view.stopConnectTimer();
    m_view.closeConnectingBox();
    m_connectingShown = false;
    m_view.pause(kSettlePause);
    onComFailed(true, kNoticeConnectFailed);
}

void LinkHandler::onReplyId() {
    const std::int32_t ai = autoInfo();
    if (modelCode() == 0 || ai == 0) return;
    if (m_connectRequested) {
        m_connectRequested = false;
        m_model.setConnected(ai != 0);
        m_view.startPoll();
        m_view.setLamp(m_model.connected());
        publishState();
    } else {
        postLinkToggle();
    }
}

void LinkHandler::onReplyPs() {
    m_transceiverOff = powerState() == 0;
    publishState();
    if (modelCode() != 0 || autoInfo() == 0) return;
    m_model.setPendingReplies(0);
    postLinkToggle();
    if (m_connectRequested) {
        m_connectRequested = false;
        onComFailed(true, kNoticeConnectFailed);
    }
    m_view.scheduleRepaint();
}

void LinkHandler::onReplyAi() {
    if (autoInfo() != 0) return;
    m_view.setLamp(false);
    // The link is down, also when it went before the identification: no reply that
    // was counted or requested comes any more, and a count left behind would block
    // COM and the file buttons for good.
    m_model.setPendingReplies(0);
    m_connectRequested = false;
    if (m_model.connected()) {
        Trx_StateGuard().set(StateField::ModelCode, 0);
        m_view.stopPoll();
        m_model.setConnected(false);
    }
    publishState();
}

void LinkHandler::onReplyPe(std::uintptr_t address) {
    if (!m_model.connected()) return;
    // A read-back in lets the next value of an edit on the graph go out.
    m_model.onPeReply(address);
    if (m_model.pendingReplies() == 0) {
        if (!m_model.takeChangedFromState()) return;
    } else {
        m_model.setPendingReplies(m_model.pendingReplies() - 1);
        if (m_model.pendingReplies() > 0) return;
        m_model.reloadFromState();
    }
    m_model.updateAllBandTexts();
    m_view.showGraph();
}

void LinkHandler::onComFailed(bool force, int row) {
    if (row >= 0 && row < static_cast<int>(kNoticeTable.size()) && kNoticeTable[static_cast<std::size_t>(row)].show == 1) {
        const int stringId = kNoticeTable[static_cast<std::size_t>(row)].stringId;
        if (force) {
            showFailure(stringId);
        } else if (!m_boxInProgress) {
            // While this box is up nobody reopens the port: each failed attempt would
            // only stack up another notice.
            m_boxInProgress = true;
            Sio_Port().setNoticeBoxShown(true);
            showFailure(stringId);
            Sio_Port().setNoticeBoxShown(false);
            m_boxInProgress = false;
        }
    }
    m_connectRequested = false;
    m_model.setPendingReplies(0);
    m_view.scheduleRepaint();
    publishState();
}

void LinkHandler::showFailure(int stringId) {
    // A connection being made has failed: the status says so while the box is up.
    m_failureShown = true;
    publishState();
    m_view.showNotice(stringId);
    m_failureShown = false;
}

LinkState LinkHandler::state() const {
    if (m_model.connected()) return m_transceiverOff ? LinkState::TransceiverOff : LinkState::Connected;
    if (m_connectRequested && !m_failureShown) {
        return m_connectingShown ? LinkState::Connecting : LinkState::WaitingForIdentification;
    }
    return LinkState::Offline;
}

void LinkHandler::publishState() {
    const LinkState now = state();
    if (now == m_shownState) return;
    m_shownState = now;
    m_view.showLinkState(now);
}

}  // namespace tqm
