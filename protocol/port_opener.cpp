#include "protocol/port_opener.h"

#include <atomic>

namespace tqm {
namespace {
std::atomic<PortOpener::OpenIfNeeded> s_open{nullptr};
}  // namespace

void PortOpener::install(OpenIfNeeded open) { s_open.store(open, std::memory_order_release); }

void PortOpener::openIfNeeded() const {
    if (OpenIfNeeded open = s_open.load(std::memory_order_acquire)) open();
}

}  // namespace tqm
