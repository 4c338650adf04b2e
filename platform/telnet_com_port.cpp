#include "platform/telnet_com_port.h"

#include "platform/line_device.h"

namespace tqm {
namespace {

constexpr std::uint8_t kSe = 240;
constexpr std::uint8_t kSb = 250;
constexpr std::uint8_t kWill = 251;
constexpr std::uint8_t kWont = 252;
constexpr std::uint8_t kDo = 253;
constexpr std::uint8_t kDont = 254;
constexpr std::uint8_t kIac = TelnetComPort::kIac;

constexpr std::uint8_t kBinary = 0;
constexpr std::uint8_t kSuppressGoAhead = 3;
// A subnegotiation longer than this is cut: no COM Port Control answer is longer.
constexpr std::size_t kMaxSub = 64;

// Options we agree to: on our side, and on the server's side.
bool weWill(std::uint8_t option) {
    return option == kBinary || option == kSuppressGoAhead || option == TelnetComPort::kComPortOption;
}
bool weDo(std::uint8_t option) { return option == kBinary || option == kSuppressGoAhead; }

struct LineStateBit {
    std::uint8_t reported;
    std::uint32_t error;
};

// NOTIFY-LINESTATE bits and the line errors they stand for.
constexpr LineStateBit kLineStateBits[] = {
    {0x02, kLineErrorOverrun},
    {0x04, kLineErrorParity},
    {0x08, kLineErrorFrame},
    {0x10, kLineErrorBreak},
};

void put(std::string& out, std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    out.push_back(static_cast<char>(a));
    out.push_back(static_cast<char>(b));
    out.push_back(static_cast<char>(c));
}

}  // namespace

std::string TelnetComPort::offer() {
    std::string out;
    for (std::uint8_t option : {kBinary, kSuppressGoAhead, kComPortOption}) {
        put(out, kIac, kWill, option);
        m_local[option] = Side::WantYes;
    }
    for (std::uint8_t option : {kBinary, kSuppressGoAhead}) {
        put(out, kIac, kDo, option);
        m_remote[option] = Side::WantYes;
    }
    return out;
}

std::string TelnetComPort::command(Command command, const std::uint8_t* value, std::size_t length) {
    std::string out;
    put(out, kIac, kSb, kComPortOption);
    out.push_back(static_cast<char>(command));
    escape(value, length, out);
    out.push_back(static_cast<char>(kIac));
    out.push_back(static_cast<char>(kSe));
    return out;
}

std::string TelnetComPort::setBaudRate(std::uint32_t baud) {
    const std::uint8_t value[4] = {static_cast<std::uint8_t>(baud >> 24), static_cast<std::uint8_t>(baud >> 16),
                                   static_cast<std::uint8_t>(baud >> 8), static_cast<std::uint8_t>(baud)};
    return command(kSetBaudRate, value, sizeof value);
}

std::string TelnetComPort::setByte(Command command, std::uint8_t value) { return TelnetComPort::command(command, &value, 1); }

void TelnetComPort::escape(const void* bytes, std::size_t length, std::string& out) {
    const auto* data = static_cast<const std::uint8_t*>(bytes);
    for (std::size_t i = 0; i < length; ++i) {
        out.push_back(static_cast<char>(data[i]));
        if (data[i] == kIac) out.push_back(static_cast<char>(kIac));
    }
}

void TelnetComPort::receive(const std::uint8_t* bytes, std::size_t length, std::string& data, std::string& answers) {
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t byte = bytes[i];
        switch (m_state) {
        case State::Data:
            if (byte == kIac) {
                m_state = State::Iac;
            } else {
                data.push_back(static_cast<char>(byte));
            }
            break;
        case State::Iac:
            m_state = State::Data;
            if (byte == kIac) data.push_back(static_cast<char>(kIac));
            if (byte == kWill) m_state = State::Will;
            if (byte == kWont) m_state = State::Wont;
            if (byte == kDo) m_state = State::Do;
            if (byte == kDont) m_state = State::Dont;
            if (byte == kSb) {
                m_sub.clear();
                m_state = State::Sub;
            }
            break;  // other commands (NOP, GA, data mark...) mean nothing here
        case State::Will:
        case State::Wont:
        case State::Do:
        case State::Dont:
            negotiate(m_state, byte, answers);
            m_state = State::Data;
            break;
        case State::Sub:
            if (byte == kIac) {
                m_state = State::SubIac;
            } else if (m_sub.size() < kMaxSub) {
                m_sub.push_back(static_cast<char>(byte));
            }
            break;
        case State::SubIac:
            if (byte == kSe) {
                subnegotiation();
                m_state = State::Data;
            } else {
                if (byte == kIac && m_sub.size() < kMaxSub) m_sub.push_back(static_cast<char>(kIac));
                m_state = State::Sub;
            }
            break;
        }
    }
}

// The server's WILL/WONT/DO/DONT: agreed offers become agreements; a request is
// answered once, yes for what we support and no for the rest.
void TelnetComPort::negotiate(State verb, std::uint8_t option, std::string& answers) {
    const bool toUs = verb == State::Do || verb == State::Dont;
    const bool yes = verb == State::Will || verb == State::Do;
    Side& side = toUs ? m_local[option] : m_remote[option];
    const bool supported = toUs ? weWill(option) : weDo(option);
    const std::uint8_t agree = toUs ? kWill : kDo;
    const std::uint8_t refuse = toUs ? kWont : kDont;
    if (yes) {
        if (side == Side::No) {
            if (supported) side = Side::Yes;
            put(answers, kIac, supported ? agree : refuse, option);
        } else {
            side = Side::Yes;
        }
        return;
    }
    if (side == Side::Yes) put(answers, kIac, refuse, option);
    side = Side::No;
}

void TelnetComPort::subnegotiation() {
    if (m_sub.size() < 2 || static_cast<std::uint8_t>(m_sub[0]) != kComPortOption) return;
    const auto code = static_cast<std::uint8_t>(m_sub[1]);
    if (code <= kServerOffset) return;
    const std::uint8_t command = code - kServerOffset;
    std::uint32_t value = 0;
    for (std::size_t i = 2; i < m_sub.size() && i < 6; ++i) value = (value << 8) | static_cast<std::uint8_t>(m_sub[i]);
    if (command == kNotifyLineState) {
        for (const LineStateBit& bit : kLineStateBits) {
            if (value & bit.reported) m_lineErrors |= bit.error;
        }
    } else if (command == kNotifyModemState) {
        m_modemState = static_cast<int>(value & 0xFF);
    } else if (command < m_reported.size()) {
        m_reported[command] = value;
    }
}

TelnetComPort::Agreement TelnetComPort::comPort() const {
    switch (m_local[kComPortOption]) {
    case Side::Yes: return Agreement::Accepted;
    case Side::WantYes: return Agreement::Pending;
    case Side::No: break;
    }
    return Agreement::Refused;
}

std::uint32_t TelnetComPort::takeLineErrors() {
    const std::uint32_t errors = m_lineErrors;
    m_lineErrors = 0;
    return errors;
}

}  // namespace tqm
