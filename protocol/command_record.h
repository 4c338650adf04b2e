#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tqm {

// One command on its way to the port: two letters, parameter characters and ";"
// at length - 1, zero behind. Only `length` bytes are queued and written.
struct CommandRecord {
    std::array<char, 512> bytes{};
    std::size_t length = 0;
};

// A row of the command tables: two letters (and two zero bytes), a kind and the
// length of the command including ";". Kind 0 is a plain read or a one-digit set;
// kind 3 a read that its step expands itself.
struct CommandRow {
    char letters[4];
    std::int32_t kind;
    std::int32_t length;
};

inline constexpr std::int32_t kCommandKindPlain = 0;
inline constexpr std::int32_t kCommandKindExpanded = 3;

// The one set-command row the command thread uses: "AI" with a one-digit parameter.
inline constexpr CommandRow kAiSetRow = {{'A', 'I', 0, 0}, kCommandKindPlain, 4};

// The start-up read sequence, one row per step.
inline constexpr CommandRow StartupReadTable[4] = {
    {{'I', 'D', 0, 0}, kCommandKindExpanded, 3},
    {{'P', 'E', 0, 0}, kCommandKindExpanded, 6},
    {{'A', 'I', 0, 0}, kCommandKindPlain, 3},
    {{'P', 'S', 0, 0}, kCommandKindPlain, 3},
};

inline constexpr int kStartupStepId = 0;
inline constexpr int kStartupStepPe = 1;
inline constexpr int kStartupStepAi = 2;
inline constexpr int kStartupStepPs = 3;

// Builds letters + parameter characters + ";" into a record of the given length.
// False when the parameters do not fit the length.
bool buildCommand(CommandRecord& record, const char letters[2], const char* parameters, std::size_t length);

}  // namespace tqm
