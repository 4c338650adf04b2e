// monitor: every change the transceiver reports, time-stamped, until a signal.
#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "app/ctl/ctl_commands.h"
#include "app/ctl/equalizer_text.h"
#include "editor/equalizer_tables.h"
#include "protocol/protocol_messages.h"
#include "protocol/trx_state.h"

namespace tqm {
namespace {

using Clock = HeadlessWindow::Clock;

// After the link went down, the next connection is tried this much later.
constexpr std::chrono::seconds kReconnectPause{1};

// The local time with milliseconds and the offset from UTC: 2025-03-04T12:34:56.789+01:00.
std::string timeStamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char date[40];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    char zone[8];
    std::strftime(zone, sizeof zone, "%z", &local);
    char text[64];
    std::snprintf(text, sizeof text, "%s.%03d%.3s:%s", date, static_cast<int>(millis), zone, zone + 3);
    return text;
}

class Monitor final {
public:
    Monitor(const CtlContext& context, LinkSession& session) : m_context(context), m_session(session) {}

    // Blocks until a signal comes or the output is gone; reconnects whenever the link goes down.
    void run() {
        event("connected", "");
        m_values = allValues();
        m_power = 1;
        while (!m_outputGone) {
            const LinkResult end = m_session.watch([this](const Message& message) { observe(message); }, [this] { return m_outputGone; });
            if (end == LinkResult::Interrupted || m_outputGone) return;
            // A power-on takes the link down by itself (the window does the same): no loss to tell.
            if (!m_poweredOn) event("link_lost", LinkSession::lossReason());
            m_poweredOn = false;
            if (!reconnect()) return;
        }
    }

private:
    static std::array<EqualizerValues, kEqualizerSets> allValues() {
        return {LinkSession::values(0), LinkSession::values(1), LinkSession::values(2)};
    }

    bool reconnect() {
        for (;;) {
            if (!m_session.pause(kReconnectPause)) return false;
            const LinkResult result = m_session.connect();
            if (result == LinkResult::Interrupted) return false;
            if (result == LinkResult::Done) break;
        }
        event("connected", "");
        reportChanges();
        return true;
    }

    void observe(const Message& message) {
        if (!m_session.connected() || m_session.window().model().pendingReplies() != 0) return;
        if (message.id == UWM_REPLY_PE) reportChanges();
        if (message.id != UWM_REPLY_PS) return;
        const std::int32_t power = Trx_StateGuard().get(StateField::PowerState);
        if (power == m_power) return;
        m_power = power;
        m_poweredOn = power != 0;
        event(power != 0 ? "power_on" : "power_off", "");
    }

    void reportChanges() {
        const auto now = allValues();
        for (int set = 0; set < kEqualizerSets; ++set) {
            for (int p = 0; p < kEqualizerParams; ++p) {
                const std::int32_t value = now[static_cast<std::size_t>(set)][p];
                if (value != m_values[static_cast<std::size_t>(set)][p]) change(set, p, value);
            }
        }
        m_values = now;
    }

    void change(int set, int p, std::int32_t value) {
        std::ostream& out = m_context.out;
        if (m_context.options.format == CtlFormat::Json) {
            const int band = bandOfParam(p);
            const std::int32_t number = kindOfParam(p) == PeqParam::Freq ? freqHz(band, value) : value;
            out << "{\"time\":" << jsonString(timeStamp()) << ",\"event\":\"change\",\"set\":\"" << setLetter(set)
                << "\",\"band\":\"" << kBandNames[static_cast<std::size_t>(band)] << "\",\"param\":\""
                << kParamNames[static_cast<std::size_t>(kindOfParam(p))] << "\",\"value\":" << number << "}\n";
        } else {
            out << timeStamp() << ' ' << setLetter(set) << ' ' << assignmentText(p, value) << '\n';
        }
        flush();
    }

    void event(std::string_view name, const std::string& detail) {
        std::ostream& out = m_context.out;
        if (m_context.options.format == CtlFormat::Json) {
            out << "{\"time\":" << jsonString(timeStamp()) << ",\"event\":\"" << name << '"';
            if (!detail.empty()) out << ",\"detail\":" << jsonString(detail);
            out << "}\n";
        } else {
            std::string words(name);
            for (char& c : words) c = c == '_' ? ' ' : c;
            out << timeStamp() << ' ' << words << (detail.empty() ? "" : ": " + detail) << '\n';
        }
        flush();
    }

    // A reader that went away (a closed pipe) ends the monitor as a signal would.
    void flush() {
        m_context.out.flush();
        if (!m_context.out) m_outputGone = true;
    }

    const CtlContext& m_context;
    LinkSession& m_session;
    std::array<EqualizerValues, kEqualizerSets> m_values{};
    std::int32_t m_power = 1;
    bool m_poweredOn = false;
    bool m_outputGone = false;
};

}  // namespace

int runMonitor(const CtlContext& context) {
    const LinkSettings settings = loadLinkSettings(context.options, context.err, context.options.quiet);
    if (!settings.error.empty()) {
        tell(context.err, settings.error);
        return kCtlExitUsage;
    }
    TerminationSignals signals;
    ProgressLine progress(context.err, context.progressOnErr);
    LinkSession session(settings, context.options.timeout, signals, progress);
    const LinkResult result = session.connect();
    if (result != LinkResult::Done) {
        session.finish();
        tell(context.err, session.failureText(result));
        return connectExitCode(result);
    }
    Monitor(context, session).run();
    session.finish();
    return kCtlExitDone;
}

}  // namespace tqm
