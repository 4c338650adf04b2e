#include "serial/sio_port.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>

#include <poll.h>

#include "platform/main_window_link.h"
#include "platform/thread_directory.h"
#include "protocol/trx_state.h"
#include "serial/port_map.h"
#include "serial/serial_messages.h"
#include "serial/sio_port_tables.h"
#include "serial/wire_trace.h"

namespace tqm {
namespace {

// Holds that make an opened line unusable.
constexpr std::uint32_t kUnusableHolds = kHoldRlsd | kHoldTxim;
// The notice row and force flag of a failed open.
constexpr std::uintptr_t kComFailedForce = 0;
constexpr std::intptr_t kComFailedRow = 0;

struct PortState {
    std::mutex lifecycle;            // open, close and initialise take turns
    mutable std::mutex deviceMutex;  // guards device and lastFault
    std::shared_ptr<LineDevice> device;
    SerialFault lastFault;
    std::atomic<bool> open{false};
    std::atomic<std::uint32_t> opens{0};  // counts the opens: a new line has a new number
    std::atomic<int> portNumber{kDefaultComPort};
    std::atomic<int> baudRate{kDefaultBaudRate};
    std::atomic<bool> noticeBox{false};
    std::atomic<bool> shuttingDown{false};  // set once the program ends: nothing opens any more
    // A failed open has told the window since the port last opened or COM was pressed.
    std::atomic<bool> failureTold{false};
};

PortState& state() {
    static PortState* s_state = new PortState;  // outlives every thread
    return *s_state;
}

std::shared_ptr<LineDevice> currentDevice() {
    PortState& s = state();
    std::lock_guard lock(s.deviceMutex);
    return s.device;
}

void keepFault(int portNumber, const SerialFault& fault) {
    PortState& s = state();
    std::lock_guard lock(s.deviceMutex);
    s.lastFault = fault;
    s.lastFault.reason = "COM" + std::to_string(portNumber) + " (" + fault.reason + ")";
    WireTrace().note("fault: " + s.lastFault.reason);
}

// The receive thread waits on the open line's descriptors: a change of line wakes it.
void wakeReceiver() { ThreadDirectory().post(WorkerRole::SioRecv, UWM_SIO_POLL); }

void notClosedFault(SerialFault& fault) {
    fault.code = SerialError::NotOpen;
    fault.osError = 0;
    fault.reason = serialErrorText(SerialError::NotOpen);
}

// Takes the device out of the port. Only under the lifecycle lock.
std::shared_ptr<LineDevice> detachDevice() {
    PortState& s = state();
    std::shared_ptr<LineDevice> device;
    {
        std::lock_guard lock(s.deviceMutex);
        device = std::move(s.device);
        s.open.store(false, std::memory_order_release);
    }
    if (device) {
        device->abort();  // calls under way return; the last holder closes it
        WireTrace().note("COM" + std::to_string(s.portNumber.load(std::memory_order_relaxed)) + " closed");
        wakeReceiver();
    }
    return device;
}

// A line fault closes the port, but only if the faulty device is still the open one.
void closeAfterFault(const std::shared_ptr<LineDevice>& device, const SerialFault& fault) {
    if (fault.code != SerialError::LineFault) return;
    PortState& s = state();
    std::lock_guard life(s.lifecycle);
    if (currentDevice() != device) return;
    keepFault(s.portNumber.load(std::memory_order_relaxed), fault);
    detachDevice();
}

// One notice per loss of the port: the queued commands that each try to reopen it
// would otherwise stack up a box apiece.
void tellWindowOfFailure() {
    PortState& s = state();
    if (s.failureTold.exchange(true, std::memory_order_acq_rel)) return;
    // With no window to tell (start-up, shutdown) the next failure tries again.
    if (!MainWindowLink().post(UWM_COM_FAILED, kComFailedForce, kComFailedRow)) {
        s.failureTold.store(false, std::memory_order_release);
    }
}

bool lineUsable(LineDevice& device, SerialFault& fault) {
    SerialStatus status;
    if (!device.status(status, fault)) return false;
    if ((status.holds & kUnusableHolds) == 0) return true;
    fault.code = SerialError::LineFault;
    fault.osError = 0;
    fault.reason = device.name() + ": the line is not ready";
    return false;
}

// The line of COM n opened and ready, or nothing with the fault filled in.
std::shared_ptr<LineDevice> openLine(int number, int baud, SerialFault& fault) {
    const PortMapEntry entry = PortMap().entry(number);
    if (!entry.usable()) {
        fault.code = SerialError::Unusable;
        fault.osError = 0;
        fault.reason = entry.problem;
        return nullptr;
    }
    std::shared_ptr<LineDevice> device = makeLineDevice(entry.target);
    if (device->open(baud, fault) && lineUsable(*device, fault)) return device;
    device->close();
    return nullptr;
}

}  // namespace

bool Sio_Port::initialise() {
    PortState& s = state();
    std::lock_guard life(s.lifecycle);
    detachDevice();
    std::lock_guard lock(s.deviceMutex);
    s.lastFault = SerialFault{};
    s.portNumber.store(kDefaultComPort, std::memory_order_relaxed);
    s.baudRate.store(kDefaultBaudRate, std::memory_order_relaxed);
    s.noticeBox.store(false, std::memory_order_relaxed);
    s.shuttingDown.store(false, std::memory_order_relaxed);
    s.failureTold.store(false, std::memory_order_relaxed);
    return true;
}

bool Sio_Port::open() {
    PortState& s = state();
    std::lock_guard life(s.lifecycle);
    if (s.shuttingDown.load(std::memory_order_acquire)) return false;
    if (s.noticeBox.load(std::memory_order_acquire) || s.open.load(std::memory_order_acquire)) return false;
    const int number = s.portNumber.load(std::memory_order_relaxed);
    const int baud = s.baudRate.load(std::memory_order_relaxed);
    SerialFault fault;
    const std::shared_ptr<LineDevice> device = openLine(number, baud, fault);
    if (!device) {
        keepFault(number, fault);
        tellWindowOfFailure();
        return false;
    }
    {
        std::lock_guard lock(s.deviceMutex);
        s.device = device;
        s.opens.fetch_add(1, std::memory_order_acq_rel);
        s.open.store(true, std::memory_order_release);
    }
    WireTrace().note("COM" + std::to_string(number) + " open: " + device->name() + " at " + std::to_string(baud) + " baud");
    wakeReceiver();
    // The transceiver learns at once which auto-information state we expect.
    const char* command = Trx_ShadowGuard().autoInfo() != 0 ? "AI1;" : "AI0;";
    const std::size_t written = device->write(command, 4, fault);
    WireTrace().written(command, written);
    if (written < 4 && fault.code == SerialError::LineFault) {
        keepFault(number, fault);
        detachDevice();
        tellWindowOfFailure();
        return false;
    }
    s.failureTold.store(false, std::memory_order_release);
    return true;
}

bool Sio_Port::close() {
    PortState& s = state();
    std::lock_guard life(s.lifecycle);
    if (!s.open.load(std::memory_order_acquire)) return false;
    detachDevice();
    return true;
}

void Sio_Port::beginShutdown() {
    PortState& s = state();
    std::lock_guard life(s.lifecycle);  // an open under way finishes first; close() then closes it
    s.shuttingDown.store(true, std::memory_order_release);
}

bool Sio_Port::isOpen() const { return state().open.load(std::memory_order_acquire); }

std::uint32_t Sio_Port::openCount() const { return state().opens.load(std::memory_order_acquire); }

bool Sio_Port::setPortNumber(int n) {
    const bool valid = n >= kFirstComPort && n <= kLastComPort;
    state().portNumber.store(valid ? n : kDefaultComPort, std::memory_order_relaxed);
    return valid;
}

int Sio_Port::portNumber() const { return state().portNumber.load(std::memory_order_relaxed); }

bool Sio_Port::setBaudRate(int baud) {
    const bool valid = std::any_of(kSioBaudRates.begin(), kSioBaudRates.end(),
                                   [baud](const Sio_BaudRow& row) { return row.baud != 0 && row.baud == baud; });
    state().baudRate.store(valid ? baud : kDefaultBaudRate, std::memory_order_relaxed);
    return valid;
}

int Sio_Port::baudRate() const { return state().baudRate.load(std::memory_order_relaxed); }

std::string Sio_Port::devicePath() const { return PortMap().path(portNumber()); }

bool Sio_Port::probe(int index) {
    if (index < 0 || index >= kLastComPort) return false;
    const int number = kSioPortNames[static_cast<std::size_t>(index)].number;
    SerialFault fault;
    const std::shared_ptr<LineDevice> device = openLine(number, baudRate(), fault);
    if (device) device->close();
    // The dialog that probed tells the operator why, as a failed open does.
    if (!device) keepFault(number, fault);
    return device != nullptr;
}

void Sio_Port::rearmFailureNotice() { state().failureTold.store(false, std::memory_order_release); }

void Sio_Port::setNoticeBoxShown(bool shown) { state().noticeBox.store(shown, std::memory_order_release); }

bool Sio_Port::noticeBoxShown() const { return state().noticeBox.load(std::memory_order_acquire); }

SerialFault Sio_Port::lastFault() const {
    PortState& s = state();
    std::lock_guard lock(s.deviceMutex);
    return s.lastFault;
}

bool Sio_Port::status(SerialStatus& status, SerialFault& fault) {
    const auto device = currentDevice();
    if (!device) {
        status = SerialStatus{};
        notClosedFault(fault);
        return false;
    }
    if (device->status(status, fault)) return true;
    closeAfterFault(device, fault);
    return false;
}

long Sio_Port::read(std::uint8_t* destination, std::size_t max, SerialFault& fault) {
    const auto device = currentDevice();
    if (!device) {
        notClosedFault(fault);
        return -1;
    }
    const long n = device->read(destination, max, fault);
    if (n < 0) closeAfterFault(device, fault);
    return n;
}

std::size_t Sio_Port::write(const void* bytes, std::size_t length, SerialFault& fault) {
    const auto device = currentDevice();
    if (!device) {
        notClosedFault(fault);
        return 0;
    }
    const std::size_t written = device->write(bytes, length, fault);
    WireTrace().written(bytes, written);
    if (written < length) closeAfterFault(device, fault);
    return written;
}

bool Sio_Port::setRts(bool on) {
    const auto device = currentDevice();
    return device && device->setRts(on);
}

SioWait Sio_Port::waitInput(int wakeDescriptor, bool watchLine, int timeoutMs) {
    pollfd entries[3] = {{wakeDescriptor, POLLIN, 0}, {-1, POLLIN, 0}, {-1, POLLIN, 0}};
    // Held for the wait: a close meanwhile leaves the descriptors open, and wakes us.
    const std::shared_ptr<LineDevice> device = watchLine ? currentDevice() : nullptr;
    nfds_t count = 1;
    if (device) {
        int lines[2] = {-1, -1};
        const int found = device->inputDescriptors(lines);
        for (int i = 0; i < found; ++i) entries[count++].fd = lines[i];
    }
    const int ready = ::poll(entries, count, timeoutMs);
    if (ready <= 0) return SioWait::TimedOut;
    return (entries[0].revents & POLLIN) != 0 ? SioWait::Woken : SioWait::Input;
}

}  // namespace tqm
