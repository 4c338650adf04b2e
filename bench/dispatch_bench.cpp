#include <cstring>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "platform/timer_service.h"
#include "protocol/link_flags.h"
#include "protocol/menu_item_record.h"
#include "protocol/reply_dispatch.h"
#include "protocol/reply_record.h"
#include "protocol/reply_table.h"
#include "protocol/trx_state.h"

namespace tqm {
namespace {

// One well-formed reply per row of the reply table: the letters, then digits up to
// the row's length without the ";". "KM" carries its selector digit and a text.
std::vector<ReplyRecord> mixedStream() {
    std::vector<ReplyRecord> stream;
    for (const ReplyTableRow& row : kReplyTable) {
        std::string text(row.cmd, 2);
        const std::size_t length = static_cast<std::size_t>(row.replyLen) - 1;
        for (std::size_t i = 2; i < length; ++i) text.push_back(static_cast<char>('0' + (i % 2)));
        if (text.starts_with("KM")) text[2] = '1';
        ReplyRecord record;
        std::memcpy(record.bytes.data(), text.data(), text.size());
        stream.push_back(record);
    }
    return stream;
}

void prepareState() {
    Trx_StateGuard::setMenuLoaderStart(nullptr);
    Trx_StateGuard().initialise();
    Trx_ShadowGuard().reset();
    LinkFlags().reset();
}

// Replies of all 74 kinds, dispatched one after another as the reply thread does
// (without the thread and its queue; no main window is published, so posts fail at once).
// Measured in wall time: every dispatch also wakes the timer thread to restart the
// watchdog.
void BM_DispatchMixedStream(benchmark::State& state) {
    prepareState();
    const std::vector<ReplyRecord> stream = mixedStream();
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(dispatchReply(stream[next]));
        next = next + 1 == stream.size() ? 0 : next + 1;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    TimerService().reset();
}
BENCHMARK(BM_DispatchMixedStream)->UseRealTime();

// "EX" replies whose value changes every time: the menu path with a store.
void BM_DispatchMenuReply(benchmark::State& state) {
    prepareState();
    MenuItemRecord item{};
    item.number = 40;
    item.parameterLength = 3;
    Trx_StateGuard().storeMenuRecord(40, &item);
    ReplyRecord replies[2];
    std::memcpy(replies[0].bytes.data(), "EX040010", 8);
    std::memcpy(replies[1].bytes.data(), "EX040020", 8);
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(dispatchReply(replies[next]));
        next ^= 1;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    TimerService().reset();
}
BENCHMARK(BM_DispatchMenuReply)->UseRealTime();

}  // namespace
}  // namespace tqm
