#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tqm {

// The client side of Telnet (RFC 854) with the COM Port Control option (RFC 2217):
// the bytes to send for each request, and what the received bytes mean. Data bytes
// 0xFF travel doubled both ways. The client offers binary transmission and
// suppress-go-ahead both ways and COM Port Control, agrees to nothing else, and
// answers each option the server asks about once. No I/O and no threads.
class TelnetComPort final {
public:
    static constexpr std::uint8_t kIac = 0xFF;
    static constexpr std::uint8_t kComPortOption = 44;

    // Client commands of COM Port Control; the server answers with the number + 100.
    enum Command : std::uint8_t {
        kSetBaudRate = 1,
        kSetDataSize = 2,
        kSetParity = 3,
        kSetStopSize = 4,
        kSetControl = 5,
        kNotifyLineState = 6,
        kNotifyModemState = 7,
        kSetLineStateMask = 10,
        kSetModemStateMask = 11,
    };
    static constexpr std::uint8_t kServerOffset = 100;
    // Values of the settings asked for.
    static constexpr std::uint8_t kParityNone = 1;
    static constexpr std::uint8_t kTwoStopBits = 2;
    static constexpr std::uint8_t kControlHardwareFlow = 3;
    static constexpr std::uint8_t kControlRtsOn = 11;
    static constexpr std::uint8_t kControlRtsOff = 12;

    // COM Port Control: offered and not yet answered, agreed, or not (refused, or never offered).
    enum class Agreement : std::uint8_t { Pending, Accepted, Refused };

    // What the client says first. Marks the offers as pending.
    std::string offer();
    // One COM Port Control command with its value, the value's 0xFF bytes doubled.
    static std::string command(Command command, const std::uint8_t* value, std::size_t length);
    static std::string setBaudRate(std::uint32_t baud);
    static std::string setByte(Command command, std::uint8_t value);
    // Appends data with its 0xFF bytes doubled.
    static void escape(const void* bytes, std::size_t length, std::string& out);

    // Takes received bytes, in pieces of any size: data goes to data, what the server
    // expects in answer to its own requests to answers.
    void receive(const std::uint8_t* bytes, std::size_t length, std::string& data, std::string& answers);

    Agreement comPort() const;
    // The value the server reported for a setting command (0 until reported).
    std::uint32_t reported(Command command) const { return m_reported.at(command); }
    // Line errors (kLineError* bits) reported since the last call.
    std::uint32_t takeLineErrors();
    // The last modem state reported (RFC 2217 bits: 0x10 CTS, 0x20 DSR, 0x80 DCD); -1 before any.
    int modemState() const { return m_modemState; }

private:
    enum class State : std::uint8_t { Data, Iac, Will, Wont, Do, Dont, Sub, SubIac };
    enum class Side : std::uint8_t { No, WantYes, Yes };

    void negotiate(State verb, std::uint8_t option, std::string& answers);
    void subnegotiation();

    State m_state = State::Data;
    std::array<Side, 256> m_local{};   // we WILL
    std::array<Side, 256> m_remote{};  // the server WILL (we DO)
    std::string m_sub;                 // the option byte and the data of a subnegotiation
    std::array<std::uint32_t, 12> m_reported{};
    std::uint32_t m_lineErrors = 0;
    int m_modemState = -1;
};

}  // namespace tqm
