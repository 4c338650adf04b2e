#include "protocol/command_record.h"

#include <cstring>

namespace tqm {

bool buildCommand(CommandRecord& record, const char letters[2], const char* parameters, std::size_t length) {
    const std::size_t parameterCount = parameters ? std::strlen(parameters) : 0;
    if (length < 3 || length >= record.bytes.size() || 2 + parameterCount + 1 != length) return false;
    record.bytes.fill(0);
    record.bytes[0] = letters[0];
    record.bytes[1] = letters[1];
    if (parameterCount > 0) std::memcpy(&record.bytes[2], parameters, parameterCount);
    record.bytes[length - 1] = ';';
    record.length = length;
    return true;
}

}  // namespace tqm
