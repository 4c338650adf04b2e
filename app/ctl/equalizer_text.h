#pragma once

#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/ctl/ctl_command_line.h"
#include "editor/equalizer_values.h"

namespace tqm {

// The values of the sets a command prints: index 0..2 for F, R, P.
struct SetValues {
    int set = 0;
    EqualizerValues values;
};

// "F", "R" or "P".
std::string_view setLetter(int set);
// One value as the operator writes it: FREQ in Hz or OFF, LEVEL in dB, BWTH.
std::string valueWord(int p, std::int32_t value);
// "EQ2.LEVEL=-3": the form that `set` takes.
std::string assignmentText(int p, std::int32_t value);
// The assignments of the parameters listed, blank-separated.
std::string assignmentList(const std::vector<int>& params, const EqualizerValues& values);

enum class AssignmentResult {
    Taken,
    Malformed,   // not BAND.PARAM=VALUE with a band and parameter we know
    OutOfRange,  // a frequency that is not in the band's table, a level or bandwidth out of range
};

// Reads "EQ2.LEVEL=-3", "eq1.freq=700", "EQ3.FREQ=OFF": the parameter number and the
// value to store (a FREQ as its table index). problem says what was wrong.
AssignmentResult parseAssignment(std::string_view text, int& p, std::int32_t& value, std::string& problem);

// Prints sets in one of the formats: a table (text), one JSON object on one line, or
// the setting file's text (one set only).
void writeSets(std::ostream& out, const std::vector<SetValues>& sets, CtlFormat format);

// The JSON object of one set: {"EQ1":{"freq_hz":100,"level_db":5,"bwth":10},...}.
std::string setJson(const EqualizerValues& values);

// Text for JSON strings: quotes, backslashes and control characters escaped.
std::string jsonString(std::string_view text);

}  // namespace tqm
