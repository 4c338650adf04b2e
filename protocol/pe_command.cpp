#include "protocol/pe_command.h"

#include "protocol/reply_fields.h"
#include "protocol/trx_state.h"

namespace tqm {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
int digitValue(char c) { return c - '0'; }
bool isAddressDigit(int value) { return value >= 0 && value <= 2; }

void writeThreeDigits(std::int32_t value, char* out) {
    out[0] = static_cast<char>('0' + value / 100);
    out[1] = static_cast<char>('0' + value / 10 % 10);
    out[2] = static_cast<char>('0' + value % 10);
}

// The three value characters of a set command; false when the value does not fit.
bool writeValue(int param, std::int32_t value, char* out) {
    if (param != static_cast<int>(PeqParam::Level)) {
        if (value < 0 || value > 999) return false;
        writeThreeDigits(value, out);
        return true;
    }
    if (value < -99 || value > 99) return false;
    const std::int32_t magnitude = value < 0 ? -value : value;
    writeThreeDigits(magnitude, out);  // the hundreds place is '0'
    if (value != 0) out[0] = value < 0 ? '-' : '+';
    return true;
}

std::size_t writeAddress(int set, int band, int param, char* out) {
    if (!isAddressDigit(set) || !isAddressDigit(band) || !isAddressDigit(param)) return 0;
    out[0] = 'P';
    out[1] = 'E';
    out[2] = static_cast<char>('0' + set);
    out[3] = static_cast<char>('0' + band);
    out[4] = static_cast<char>('0' + param);
    return 5;
}

// The value of a well-formed value field at positions 5-7; false when malformed.
bool readValue(int param, const ReplyRecord& record, std::int32_t& value) {
    if (param == static_cast<int>(PeqParam::Level)) {
        if (!isDigit(record[6]) || !isDigit(record[7])) return false;
        const std::int32_t magnitude = digitValue(record[6]) * 10 + digitValue(record[7]);
        value = record[5] == '-' ? -magnitude : magnitude;
        return true;
    }
    if (!isDigit(record[5]) || !isDigit(record[6]) || !isDigit(record[7])) return false;
    value = digitValue(record[5]) * 100 + digitValue(record[6]) * 10 + digitValue(record[7]);
    return true;
}

}  // namespace

std::size_t buildPeRead(int set, int band, int param, char* out) {
    if (out == nullptr || writeAddress(set, band, param, out) == 0) return 0;
    out[5] = ';';
    return kPeReadLength;
}

std::size_t buildPeSet(int set, int band, int param, std::int32_t value, char* out) {
    char text[kPeSetLength];
    if (out == nullptr || writeAddress(set, band, param, text) == 0) return 0;
    if (!writeValue(param, value, text + 5)) return 0;
    text[8] = ';';
    for (std::size_t i = 0; i < kPeSetLength; ++i) out[i] = text[i];
    return kPeSetLength;
}

std::uintptr_t peReplyAddress(const ReplyRecord& record) {
    int digits[3] = {};
    for (int i = 0; i < 3; ++i) {
        const char c = record[static_cast<std::size_t>(2 + i)];
        if (!isDigit(c) || !isAddressDigit(digitValue(c))) return 0;
        digits[i] = digitValue(c);
    }
    return static_cast<std::uintptr_t>(1 + 9 * digits[0] + 3 * digits[1] + digits[2]);
}

bool parsePeReply(std::int32_t replyLen, const ReplyRecord* record) {
    if (!isParsable(replyLen, record)) return false;
    Trx_StateGuard state;
    const ReplyRecord& reply = *record;
    if (!isDigit(reply[2]) || !isDigit(reply[3]) || !isDigit(reply[4])) return false;
    const int set = digitValue(reply[2]);
    const int band = digitValue(reply[3]);
    const int param = digitValue(reply[4]);
    if (!isAddressDigit(set) || !isAddressDigit(band) || !isAddressDigit(param)) return false;
    std::int32_t value = 0;
    if (!readValue(param, reply, value)) return false;
    return state.setPeq(set, band, static_cast<PeqParam>(param), value);
}

}  // namespace tqm
