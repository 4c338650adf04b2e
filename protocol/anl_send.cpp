#include "protocol/anl_send.h"

#include "platform/thread_directory.h"

namespace tqm {

bool Anl_Send::postLinkToggle() const { return postRequest(UWM_CMD_LINK_TOGGLE); }
bool Anl_Send::postReadStart() const { return postRequest(UWM_CMD_READ_START); }
bool Anl_Send::postTimersStop() const { return postRequest(UWM_CMD_TIMERS_STOP); }
bool Anl_Send::postStandbyStart() const { return postRequest(UWM_CMD_STANDBY_START); }
bool Anl_Send::postIdCheck() const { return postRequest(UWM_CMD_ID_CHECK); }
bool Anl_Send::postPoll() const { return postRequest(UWM_CMD_POLL); }
bool Anl_Send::postReadStep() const { return postRequest(UWM_CMD_READ_STEP); }
bool Anl_Send::postFlush() const { return postRequest(UWM_CMD_FLUSH); }

bool Anl_Send::postRequest(MessageId id, std::uintptr_t wParam, std::intptr_t lParam) const {
    return ThreadDirectory().post(WorkerRole::AnlSend, id, wParam, lParam);
}

}  // namespace tqm
