#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tqm::sim {

// Cuts the bytes that arrive on the line into commands: two upper-case letters,
// parameter characters and ";". Bytes before a letter pair are skipped; a command
// that grows beyond kMaxCommandLength without its ";" is thrown away together with
// everything up to the next ";".
class CommandFramer final {
public:
    static constexpr std::size_t kMaxCommandLength = 40;  // ";" included

    // Takes some bytes; appends every command they complete, ";" included, to out.
    void feed(const char* data, std::size_t size, std::vector<std::string>& out);

    // Forgets a half-received command.
    void reset();

    // Bytes skipped or thrown away so far.
    std::size_t discardedCount() const { return m_discarded; }

private:
    void take(char c, std::vector<std::string>& out);

    std::string m_pending;
    bool m_skipToTerminator = false;
    std::size_t m_discarded = 0;
};

}  // namespace tqm::sim
