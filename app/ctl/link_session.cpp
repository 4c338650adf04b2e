#include "app/ctl/link_session.h"

#include <algorithm>

#include "app/engine.h"
#include "editor/equalizer_model.h"
#include "editor/link_handler.h"
#include "editor/setting_file.h"
#include "editor/string_table.h"
#include "platform/sio_queue.h"
#include "protocol/protocol_messages.h"
#include "protocol/trx_state.h"
#include "serial/sio_port.h"

namespace tqm {
namespace {

using Clock = HeadlessWindow::Clock;

constexpr std::chrono::seconds kMenuListWait{10};

std::string seconds(std::chrono::milliseconds duration) {
    const auto whole = duration.count() / 1000;
    const auto tenths = duration.count() % 1000 / 100;
    return std::to_string(whole) + (tenths != 0 ? "." + std::to_string(tenths) : "") + " s";
}

}  // namespace

std::vector<int> ApplyReport::applied() const {
    std::vector<int> params;
    std::copy_if(differing.begin(), differing.end(), std::back_inserter(params), [this](int p) { return after[p] == target[p]; });
    return params;
}

std::vector<int> ApplyReport::notApplied() const {
    std::vector<int> params;
    for (int p = 0; p < kEqualizerParams; ++p) {
        if (after[p] != target[p]) params.push_back(p);
    }
    return params;
}

LinkSession::LinkSession(const LinkSettings& settings, std::chrono::milliseconds timeout, TerminationSignals& signals,
                         ProgressLine& progress)
    : m_settings(settings), m_timeout(timeout), m_signals(signals), m_progress(progress) {}

LinkSession::~LinkSession() { finish(); }

bool LinkSession::start() {
    Engine engine;
    engine.initialiseState();
    engine.waitMenuListReady(kMenuListWait);
    Sio_Port port;
    port.setPortNumber(m_settings.port);
    port.setBaudRate(m_settings.baud);
    m_window = std::make_unique<HeadlessWindow>(m_timeout);
    m_window->setAfterMessage([this](const Message& message) { onMessage(message); });
    if (m_signals.fd() >= 0) m_window->watch(m_signals.fd(), [this] { m_signals.check(); });
    m_started = true;
    engine.startLink();
    return port.isOpen();
}

void LinkSession::onMessage(const Message& message) {
    const EqualizerModel& model = m_window->model();
    if (message.id == UWM_REPLY_PE || message.id == UWM_REPLY_ID || message.id == UWM_POWER_ON) m_lastReply = Clock::now();
    if (message.id == UWM_POWER_ON) m_answered = true;
    if (message.id == UWM_REPLY_PS) m_powerOff = Trx_StateGuard().get(StateField::PowerState) == 0;
    if (model.connected()) m_wasConnected = true;
    if (m_expectedReplies > 0 && model.connected() && message.id == UWM_REPLY_PE) {
        const int done = std::clamp(m_expectedReplies - model.pendingReplies(), 0, m_expectedReplies);
        m_progress.show(m_progressWord + " " + std::to_string(done) + "/" + std::to_string(m_expectedReplies));
    }
    if (m_observe) m_observe(message);
}

LinkResult LinkSession::failure() const {
    const std::vector<int>& notices = m_window->notices();
    const auto fresh = notices.begin() + static_cast<std::ptrdiff_t>(std::min(m_noticesBefore, notices.size()));
    if (std::find(fresh, notices.end(), IDS_PORT_OPEN_FAILED) != notices.end()) return LinkResult::PortFailed;
    if (m_powerOff) return LinkResult::SwitchedOff;
    if (fresh != notices.end()) return m_answered ? LinkResult::WrongModel : LinkResult::NoAnswer;
    if (m_wasConnected && !m_window->model().connected()) return LinkResult::LinkLost;
    return LinkResult::Done;
}

LinkResult LinkSession::waitFor(const std::function<bool()>& done, bool interruptible) {
    m_lastReply = Clock::now();
    LinkResult end = LinkResult::Done;
    const auto stop = [&] {
        end = failure();
        if (end != LinkResult::Done) return true;
        if (done()) return true;
        end = LinkResult::Interrupted;
        return interruptible && m_signals.taken();
    };
    for (;;) {
        if (m_window->runUntil(stop, m_lastReply + m_timeout)) return end;
        // While the connecting box is up, the connection time-out decides.
        if (m_window->handler().connectingShown()) {
            m_lastReply = Clock::now();
        } else if (Clock::now() >= m_lastReply + m_timeout) {
            return LinkResult::TimedOut;
        }
    }
}

LinkResult LinkSession::connect() {
    if (!m_started && !start()) return LinkResult::PortFailed;
    m_noticesBefore = m_window->notices().size();
    m_wasConnected = false;
    m_powerOff = false;
    m_answered = false;
    m_progress.show("connecting to COM" + std::to_string(m_settings.port) + " (" + Sio_Port().devicePath() + ") at " +
                    std::to_string(m_settings.baud) + " baud");
    EqualizerModel& model = m_window->model();
    m_window->handler().onComAction();
    m_expectedReplies = LinkHandler::kStartupReplies;
    m_progressWord = "reading";
    const LinkResult result = waitFor([&model] { return model.connected() && model.pendingReplies() == 0; }, true);
    m_expectedReplies = 0;
    m_progress.clear();
    return result;
}

EqualizerValues LinkSession::values(int set) {
    const Trx_StateGuard state;
    EqualizerValues values;
    for (int p = 0; p < kEqualizerParams; ++p) values[p] = state.getPeq(set, bandOfParam(p), kindOfParam(p));
    return values;
}

ApplyReport LinkSession::apply(int set, const EqualizerValues& target, const std::string& file) {
    ApplyReport report;
    report.target = target;
    EqualizerModel& model = m_window->model();
    model.selectSet(set);
    for (int p = 0; p < kEqualizerParams; ++p) {
        if (model.shown(set)[p] != target[p]) report.differing.push_back(p);
    }
    const int total = static_cast<int>(report.differing.size());
    int sent = 0;
    model.setApplyGate([&] {
        if (m_signals.check() || !Sio_Port().isOpen()) return false;
        m_progress.show("applying " + std::to_string(++sent) + "/" + std::to_string(total));
        return true;
    });
    if (file.empty()) {
        model.setReference(set, target);
        model.applyReference();
    } else if (SettingFile::load(file, model) == LoadResult::Loaded) {
        report.target = model.reference(set);
    } else {
        report.refused = true;
    }
    model.setApplyGate({});
    // The values sent have their read-backs under way: those are waited for, interrupt or not.
    LinkResult result = waitFor([&model] { return model.pendingReplies() == 0; }, false);
    if (result == LinkResult::Done && m_signals.check()) result = LinkResult::Interrupted;
    if (result == LinkResult::Done) {
        result = readBack(set);
        report.verified = result == LinkResult::Done;
    }
    m_progress.clear();
    report.after = values(set);
    report.result = result;
    return report;
}

LinkResult LinkSession::readBack(int set) {
    EqualizerModel& model = m_window->model();
    model.setReloadScope(set);
    model.setPendingReplies(kEqualizerParams);
    for (int p = 0; p < kEqualizerParams; ++p) model.readParameter(set, p);
    m_expectedReplies = kEqualizerParams;
    m_progressWord = "checking";
    const LinkResult result = waitFor([&model] { return model.pendingReplies() == 0; }, true);
    m_expectedReplies = 0;
    return result;
}

LinkResult LinkSession::watch(const std::function<void(const Message&)>& observe, const std::function<bool()>& stop) {
    m_observe = observe;
    const EqualizerModel& model = m_window->model();
    // A port that fails to reopen is told by a notice, and the link goes down with the
    // next tick of the reply watchdog.
    const auto end = [&] { return m_signals.taken() || stop() || !model.connected(); };
    while (!m_window->runUntil(end, Clock::now() + std::chrono::hours(1))) {
    }
    m_observe = {};
    return m_signals.taken() ? LinkResult::Interrupted : LinkResult::LinkLost;
}

bool LinkSession::pause(std::chrono::milliseconds duration) {
    return !m_window->runUntil([this] { return m_signals.taken(); }, Clock::now() + duration);
}

std::string LinkSession::lossReason() {
    return Sio_Port().isOpen() ? std::string("no reply") : Sio_Port().lastFault().reason;
}

bool LinkSession::connected() { return m_window && m_window->model().connected(); }

HeadlessWindow& LinkSession::window() { return *m_window; }

void LinkSession::finish() {
    if (!m_started || m_finished) return;
    m_finished = true;
    EqualizerModel& model = m_window->model();
    if (model.connected()) {
        // A read that will never end must not keep COM from switching off.
        model.setPendingReplies(0);
        m_progress.show("disconnecting");
        m_window->handler().onComAction();
        m_window->runUntil(
            [&model] {
                return !model.connected() && Trx_StateGuard().get(StateField::AutoInfo) == 0 && SioSendQueue().size() == 0;
            },
            Clock::now() + m_timeout);
    }
    Engine().stop();
    // The last word on the line is "AI0;", written once nothing else can write: replies
    // still under way at the switch-off (a late power report, the poll's auto-information
    // reply) can make the link handling switch auto information on again, and a
    // connection that failed or was given up may have left it on.
    switchOffByReopening(m_settings.port, m_settings.baud);
    m_window.reset();
    m_progress.clear();
}

void LinkSession::switchOffByReopening(int port, int baud) {
    // The port's opening writes "AI0;" while the shadow record says auto information is off.
    Trx_ShadowGuard().reset();
    Sio_Port sioPort;
    sioPort.initialise();
    sioPort.setPortNumber(port);
    sioPort.setBaudRate(baud);
    if (sioPort.open()) sioPort.close();
    sioPort.beginShutdown();
}

std::string LinkSession::failureText(LinkResult result) const {
    const std::string connectFailed(loadString(IDS_CONNECT_FAILED));
    switch (result) {
    case LinkResult::Done: return {};
    case LinkResult::PortFailed:
        return std::string(loadString(IDS_PORT_OPEN_FAILED)) + "\n" + Sio_Port().lastFault().reason;
    case LinkResult::NoAnswer:
        return connectFailed + "\nno answer within " + seconds(m_timeout) +
               ": is the transceiver connected and switched on, and is the speed " + std::to_string(m_settings.baud) +
               " baud right?";
    case LinkResult::WrongModel:
        return connectFailed + "\nthe transceiver answered but did not identify itself as a ZR-4700 (model code 4700)";
    case LinkResult::SwitchedOff: return "the transceiver is switched off";
    case LinkResult::LinkLost: return "the link to the transceiver was lost: " + lossReason();
    case LinkResult::TimedOut: return "the transceiver stopped answering: no reply within " + seconds(m_timeout);
    case LinkResult::Interrupted: return "interrupted";
    }
    return {};
}

}  // namespace tqm
