#pragma once

#include <cstddef>
#include <cstdint>

#include "protocol/reply_record.h"

namespace tqm {

// The "PE" command: one equalizer value addressed by set, band and parameter digits
// (each 0..2). Read request "PEsbp;" (6 bytes), set command and reply "PEsbpVVV;"
// (9 bytes). VVV is "%03d" for FREQ and BWTH; for LEVEL a sign and "%02d" of the
// magnitude, with zero written "000".
inline constexpr std::size_t kPeReadLength = 6;
inline constexpr std::size_t kPeSetLength = 9;

// Writes the read request into out (at least kPeReadLength bytes, no terminating zero
// is added); returns its length, or 0 for a digit outside 0..2.
std::size_t buildPeRead(int set, int band, int param, char* out);

// Writes the set command into out (at least kPeSetLength bytes, no terminating zero is
// added); returns its length, or 0 for a digit outside 0..2 or a value that does not
// fit its three characters (FREQ/BWTH 0..999, LEVEL -99..99).
std::size_t buildPeSet(int set, int band, int param, std::int32_t value, char* out);

// Parses a "PE" reply and stores its value in the equalizer state. False (nothing
// stored) for a zero or negative length, a null record or a malformed reply; true for a well-formed
// reply, whether or not the value lay within its member's range.
bool parsePeReply(std::int32_t replyLen, const ReplyRecord* record);

// Which of the 27 values a "PE" reply names, as 1 + 9 * set + 3 * band + param
// (1..27), or 0 when its address digits are not 0..2. The main window's PE
// notification carries it, so that the window knows which read-back came in.
std::uintptr_t peReplyAddress(const ReplyRecord& record);

}  // namespace tqm
