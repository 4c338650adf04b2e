#include "protocol/trx_state.h"

#include <array>
#include <atomic>
#include <cstring>

#include "protocol/bounded_value.h"
#include "protocol/state_text.h"
#include "protocol/trx_state_defaults.h"

namespace tqm {
namespace {

inline constexpr std::size_t kTextCount = static_cast<std::size_t>(TextField::Count);

// What the readers of a menu record use, kept beside the record as atomics: the
// value changes on the reply thread while other threads read the record.
struct MenuSlot {
    std::atomic<std::int32_t> parameterLength{0};
    std::atomic<std::int32_t> formatCode{0};
    std::atomic<double> value{0.0};
};

// The one transceiver state record: a static block of fixed size.
struct TrxStateRecord {
    std::array<BoundedValue, kStateFieldCount> fields;
    std::array<BoundedReal, kRealFieldCount> reals;
    std::array<StateText, kTextCount> texts;
    BoundedValue peq[kPeqSets][kPeqBands][kPeqParams];
    std::atomic<std::uint8_t> menuListReady{0};
    std::atomic<std::int32_t> savedAutoInfo{0};
    std::atomic<std::uint8_t> aiRestorePending{0};
    // Written by the menu-list thread before menuListReady becomes 1.
    std::array<MenuItemRecord, kMenuSlots> menuTable;
    std::array<MenuSlot, kMenuSlots> menuSlots;
};

constinit TrxStateRecord s_state{};
constinit std::atomic<Trx_StateGuard::MenuLoaderStart> s_menuLoaderStart{nullptr};

BoundedValue* field(StateField which) {
    const auto i = static_cast<std::size_t>(which);
    return i < kStateFieldCount ? &s_state.fields[i] : nullptr;
}

BoundedReal* real(RealField which) {
    const auto i = static_cast<std::size_t>(which);
    return i < kRealFieldCount ? &s_state.reals[i] : nullptr;
}

StateText* text(TextField which) {
    const auto i = static_cast<std::size_t>(which);
    return i < kTextCount ? &s_state.texts[i] : nullptr;
}

bool inRange(int index, int count) { return index >= 0 && index < count; }

BoundedValue* peq(int set, int band, PeqParam param) {
    const int p = static_cast<int>(param);
    if (!inRange(set, kPeqSets) || !inRange(band, kPeqBands) || !inRange(p, kPeqParams)) return nullptr;
    return &s_state.peq[set][band][p];
}

}  // namespace

std::int32_t Trx_StateGuard::get(StateField which) const {
    const BoundedValue* member = field(which);
    return member ? member->get() : 0;
}

bool Trx_StateGuard::set(StateField which, std::int32_t value) {
    BoundedValue* member = field(which);
    return member && member->set(value);
}

std::int32_t Trx_StateGuard::minimum(StateField which) const {
    const BoundedValue* member = field(which);
    return member ? member->min.load(std::memory_order_relaxed) : 0;
}

std::int32_t Trx_StateGuard::maximum(StateField which) const {
    const BoundedValue* member = field(which);
    return member ? member->max.load(std::memory_order_relaxed) : 0;
}

double Trx_StateGuard::getReal(RealField which) const {
    const BoundedReal* member = real(which);
    return member ? member->get() : 0.0;
}

bool Trx_StateGuard::setReal(RealField which, double value) {
    BoundedReal* member = real(which);
    return member && member->set(value);
}

bool Trx_StateGuard::setText(TextField which, std::int32_t length, const char* value) {
    StateText* member = text(which);
    return member && member->set(length, value);
}

std::string Trx_StateGuard::getText(TextField which) const {
    const StateText* member = text(which);
    return member ? member->get() : std::string();
}

std::int32_t Trx_StateGuard::getPeq(int set, int band, PeqParam param) const {
    const BoundedValue* member = peq(set, band, param);
    return member ? member->get() : 0;
}

bool Trx_StateGuard::setPeq(int set, int band, PeqParam param, std::int32_t value) {
    BoundedValue* member = peq(set, band, param);
    return member && member->set(value);
}

std::int32_t Trx_StateGuard::peqMinimum(int band, PeqParam param) const {
    const BoundedValue* member = peq(0, band, param);
    return member ? member->min.load(std::memory_order_relaxed) : 0;
}

std::int32_t Trx_StateGuard::peqMaximum(int band, PeqParam param) const {
    const BoundedValue* member = peq(0, band, param);
    return member ? member->max.load(std::memory_order_relaxed) : 0;
}

bool Trx_StateGuard::isValidMenuRecord(std::int32_t n) const {
    return n >= 1 && n <= kMenuSlots && n <= get(StateField::MenuCount);
}

bool Trx_StateGuard::storeMenuRecord(std::int32_t n, const MenuItemRecord* record) {
    if (record == nullptr || !isValidMenuRecord(n)) return false;
    const auto i = static_cast<std::size_t>(n - 1);
    std::memcpy(&s_state.menuTable[i], record, sizeof(MenuItemRecord));
    s_state.menuSlots[i].parameterLength.store(record->parameterLength, std::memory_order_release);
    s_state.menuSlots[i].formatCode.store(record->formatCode, std::memory_order_release);
    s_state.menuSlots[i].value.store(record->value, std::memory_order_release);
    return true;
}

std::int32_t Trx_StateGuard::menuParameterLength(std::int32_t n) const {
    if (!isValidMenuRecord(n)) return 0;
    return s_state.menuSlots[static_cast<std::size_t>(n - 1)].parameterLength.load(std::memory_order_acquire);
}

std::int32_t Trx_StateGuard::menuFormatCode(std::int32_t n) const {
    if (!isValidMenuRecord(n)) return 0;
    return s_state.menuSlots[static_cast<std::size_t>(n - 1)].formatCode.load(std::memory_order_acquire);
}

bool Trx_StateGuard::readMenuValue(std::int32_t n, double& value) const {
    if (!isValidMenuRecord(n)) return false;
    value = s_state.menuSlots[static_cast<std::size_t>(n - 1)].value.load(std::memory_order_acquire);
    return true;
}

bool Trx_StateGuard::writeMenuValue(std::int32_t n, double value) {
    if (!isValidMenuRecord(n)) return false;
    s_state.menuSlots[static_cast<std::size_t>(n - 1)].value.store(value, std::memory_order_release);
    return true;
}

bool Trx_StateGuard::copyMenuRecord(std::int32_t n, MenuItemRecord& record) const {
    if (!isValidMenuRecord(n)) return false;
    const auto i = static_cast<std::size_t>(n - 1);
    std::memcpy(&record, &s_state.menuTable[i], sizeof record);
    record.value = s_state.menuSlots[i].value.load(std::memory_order_acquire);
    return true;
}

std::uint8_t Trx_StateGuard::menuListReady() const { return s_state.menuListReady.load(std::memory_order_acquire); }

void Trx_StateGuard::setMenuListReady(std::uint8_t ready) {
    s_state.menuListReady.store(ready, std::memory_order_release);
}

std::int32_t Trx_StateGuard::savedAutoInfo() const { return s_state.savedAutoInfo.load(std::memory_order_acquire); }

void Trx_StateGuard::setSavedAutoInfo(std::int32_t value) {
    s_state.savedAutoInfo.store(value, std::memory_order_release);
}

std::uint8_t Trx_StateGuard::aiRestorePending() const {
    return s_state.aiRestorePending.load(std::memory_order_acquire);
}

void Trx_StateGuard::setAiRestorePending(std::uint8_t value) {
    s_state.aiRestorePending.store(value, std::memory_order_release);
}

void Trx_StateGuard::initialise() {
    setMenuListReady(0);
    setSavedAutoInfo(0);
    setAiRestorePending(0);
    for (StateText& member : s_state.texts) member.reset(kTextLimit);
    for (const auto& row : kStateDefaults) field(row.field)->reset(row.value, row.max, row.min);
    for (const auto& row : kRealDefaults) real(row.field)->reset(row.value, row.max, row.min);
    for (auto& set : s_state.peq) {
        for (int band = 0; band < kPeqBands; ++band) {
            for (int p = 0; p < kPeqParams; ++p) {
                const PeqDefault& row = kPeqDefaults[band][p];
                set[band][p].reset(row.value, row.max, row.min);
            }
        }
    }
    if (const MenuLoaderStart start = s_menuLoaderStart.load(std::memory_order_acquire)) start();
}

void Trx_StateGuard::setMenuLoaderStart(MenuLoaderStart start) {
    s_menuLoaderStart.store(start, std::memory_order_release);
}

}  // namespace tqm
