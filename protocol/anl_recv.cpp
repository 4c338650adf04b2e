#include "protocol/anl_recv.h"

#include <memory>

#include "platform/thread_directory.h"
#include "protocol/anl_recv_thread.h"
#include "protocol/link_flags.h"

namespace tqm {

bool Anl_Recv::start() { return ThreadDirectory().startAs(WorkerRole::AnlRecv, std::make_shared<Anl_Recv_Thread>()); }

bool Anl_Recv::stop(int maxPosts, std::chrono::milliseconds interval) {
    return ThreadDirectory().stop(WorkerRole::AnlRecv, maxPosts, interval);
}

bool Anl_Recv::isAlive() const { return ThreadDirectory().isAlive(WorkerRole::AnlRecv); }

bool Anl_Recv::postReply() const { return ThreadDirectory().post(WorkerRole::AnlRecv, UWM_ANL_REPLY); }

bool Anl_Recv::signalLinkLost() const { return ThreadDirectory().post(WorkerRole::AnlRecv, UWM_ANL_LINK_LOST); }

std::uint8_t Anl_Recv::getAiOnSent() const { return LinkFlags().aiOnSent(); }

void Anl_Recv::setAiOnSent(std::uint8_t value) { LinkFlags().setAiOnSent(value); }

}  // namespace tqm
