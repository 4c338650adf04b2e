#pragma once

#include <cstdint>
#include <string>

namespace tqm {

// What a failure notice says below its string-table text, so that the operator knows
// what to do: for a port that did not open, why (missing, busy, not permitted, as the
// port last found it); for a connection that failed, the COM number, device and line
// speed tried and the usual causes. Empty for the other notices.
std::string noticeDetail(std::int32_t stringId);

}  // namespace tqm
