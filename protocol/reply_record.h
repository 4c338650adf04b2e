#pragma once

#include <array>
#include <cstdint>

namespace tqm {

inline constexpr std::size_t kRecordSize = 512;

// One reply as it travels from the receive thread to the reply analysis: the two
// command letters, the parameter characters as received, no ";", zero behind.
struct ReplyRecord {
    std::array<char, kRecordSize> bytes{};

    char operator[](std::size_t i) const { return i < kRecordSize ? bytes[i] : '\0'; }
};

}  // namespace tqm
