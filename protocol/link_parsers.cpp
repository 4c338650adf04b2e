#include "protocol/link_parsers.h"

#include <string_view>

#include "platform/main_window_link.h"
#include "protocol/anl_send.h"
#include "protocol/link_flags.h"
#include "protocol/own_rule_parsers.h"
#include "protocol/protocol_messages.h"
#include "protocol/reply_fields.h"
#include "protocol/reply_parser.h"
#include "protocol/trx_state.h"

namespace tqm {
namespace {

constexpr std::string_view kModelCode = "4700";
constexpr int kModelCodePos = 2;
constexpr int kModelExtensionPos = 6;
constexpr int kModelExtensionWidth = 3;

// The fixed replies that reset the S-meter readings when the link or the power goes
// down: rm := 0 and sm2 := 0.
constexpr std::string_view kRmResetText = "RM0000;";
constexpr std::string_view kSmResetText = "SM1000;";
constexpr ReplyRecord kRmReset = makeReplyRecord(kRmResetText);
constexpr ReplyRecord kSmReset = makeReplyRecord(kSmResetText);

// Stores the digit at position 2 in member; true when it is a digit.
bool storeDigitAt2(StateField member, const ReplyRecord& record, Trx_StateGuard& state) {
    std::int32_t value = 0;
    return readNumber(record, 2, 1, CharClass::Digit, value) && state.set(member, value);
}

// Runs the "RM" and "SM" parsers on the reset replies, each followed by its
// notification to the main window.
void resetMeters() {
    MainWindowLink window;
    parseRmReply(static_cast<std::int32_t>(kRmResetText.size()), &kRmReset);
    window.post(UWM_REPLY_RM);
    if (const ReplyParser smParser = replyParserFor('S', 'M')) {
        smParser(static_cast<std::int32_t>(kSmResetText.size()), &kSmReset);
    }
    window.post(UWM_REPLY_SM);
}

}  // namespace

bool parseIdReply(std::int32_t replyLen, const ReplyRecord* record) {
    if (!isParsable(replyLen, record)) return false;
    Trx_StateGuard state;
    std::int32_t value = 0;
    if (matchesAt(*record, kModelCodePos, kModelCode)) {
        const bool extended =
            readNumber(*record, kModelExtensionPos, kModelExtensionWidth, CharClass::Digit, value);
        if (extended) state.set(StateField::ModelCode, value);
        // A plain identification starts the read all the same, without a notification.
        Anl_Send().postReadStart();
        return extended;
    }
    return readNumber(*record, kModelCodePos, static_cast<int>(kModelCode.size()), CharClass::Digit, value);
}

bool parseAiReply(std::int32_t replyLen, const ReplyRecord* record) {
    if (!isParsable(replyLen, record)) return false;
    Trx_StateGuard state;
    Trx_ShadowGuard shadow;
    const std::int32_t before = state.get(StateField::AutoInfo);
    bool result = storeDigitAt2(StateField::AutoInfo, *record, state);
    const std::int32_t now = state.get(StateField::AutoInfo);
    shadow.setAutoInfo(now);

    const bool cameOn = now == 1 && before != 1;
    if (cameOn || state.aiRestorePending() == 1) {
        Anl_Send().postIdCheck();
        state.setAiRestorePending(0);
    }
    if (cameOn) MainWindowLink().send(UWM_POWER_ON);

    if (now == 0) {
        if (LinkFlags().aiOnSent() != 0) {
            // The transceiver switched auto information off by itself: switch it on again.
            shadow.setAutoInfo(0);
            Anl_Send().postLinkToggle();
            result = false;
        } else {
            // The link is down.
            Anl_Send().postTimersStop();
            resetMeters();
        }
    }
    return result;
}

bool parsePsReply(std::int32_t replyLen, const ReplyRecord* record) {
    if (!isParsable(replyLen, record)) return false;
    Trx_StateGuard state;
    Trx_ShadowGuard shadow;
    const bool result = storeDigitAt2(StateField::PowerState, *record, state);
    const std::int32_t power = state.get(StateField::PowerState);
    if (power != shadow.powerState()) {
        if (power != 0) {
            if (state.savedAutoInfo() != 0) {
                state.setAiRestorePending(1);
                shadow.setAutoInfo(0);
                Anl_Send().postLinkToggle();
            }
        } else {
            state.setSavedAutoInfo(shadow.autoInfo());
            resetMeters();
            Anl_Send().postTimersStop();
        }
    }
    shadow.setPowerState(power);
    return result;
}

bool parseRsReply(std::int32_t replyLen, const ReplyRecord* record) {
    if (!isParsable(replyLen, record)) return false;
    Trx_StateGuard state;
    const bool result = storeDigitAt2(StateField::Rs, *record, state);
    if (state.get(StateField::Rs) == 2) Anl_Send().postStandbyStart();
    return result;
}

}  // namespace tqm
