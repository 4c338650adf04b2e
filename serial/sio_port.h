#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/line_device.h"
#include "serial/serial_messages.h"

namespace tqm {

// How a wait for input ended.
enum class SioWait : std::uint8_t { Woken, Input, TimedOut };

// The one serial port of the program. All state is process-wide; an object holds
// no data, so callers construct one on the stack where they need it.
//
// Open, close and probe take turns; reads, writes and status calls of the two
// serial threads run beside them on a shared hold of the device, so a close from
// one thread never pulls the descriptor from under a call of the other. A line
// fault seen by any call closes the port; the next Open reopens it.
class Sio_Port final {
public:
    // Back to the start: closes the port, COM1, 4800 baud, no notice box, no fault,
    // not shutting down.
    bool initialise();
    // Waits for an open under way. From then on open() refuses silently until the next
    // initialise(): once the program ends, nothing reopens the port.
    void beginShutdown();

    // Blocks up to the line's open bound (a network connect: 2 s) and the bounded write
    // of "AI0;"/"AI1;". True only if this call opened the
    // port. Does nothing while a notice box is up or the port is open. A failure keeps
    // the fault for lastFault() and posts UWM_COM_FAILED (0, 0) to the main window,
    // once until the port opens again or rearmFailureNotice() is called.
    bool open();
    // Waits for an open under way (its bounds). False if the port was not open.
    bool close();
    bool isOpen() const;
    // How many times the port has opened: a change means another line than before.
    std::uint32_t openCount() const;

    // 1..20 are stored; anything else stores 1 and returns false.
    bool setPortNumber(int n);
    int portNumber() const;
    // 4800, 9600, 19200 and 38400 are stored; anything else stores 4800 and returns false.
    bool setBaudRate(int baud);
    int baudRate() const;
    // The device path or network target the current port number resolves to; empty
    // when its port map entry cannot be used.
    std::string devicePath() const;

    // Blocks up to the line's open bound. True if the port of row i of the COM port name
    // table can be opened and shows a usable line; otherwise lastFault() says why. Never
    // touches the open port.
    bool probe(int index);

    // The operator asks for the port again (COM): the next failed open tells the
    // window again, although the port has not opened since the last notice.
    void rearmFailureNotice();
    // The main window tells whether its failure notice box is up.
    void setNoticeBoxShown(bool shown);
    bool noticeBoxShown() const;
    // The last failed open or probe, or line fault, in words the operator can act on.
    SerialFault lastFault() const;

    // The threads' calls on the open port. Each fails with NotOpen when it is closed.
    bool status(SerialStatus& status, SerialFault& fault);
    long read(std::uint8_t* destination, std::size_t max, SerialFault& fault);
    // Blocks up to 10 ms per byte + 500 ms.
    std::size_t write(const void* bytes, std::size_t length, SerialFault& fault);
    bool setRts(bool on);

    // Blocks up to timeoutMs (-1: no bound) until wakeDescriptor is readable (Woken),
    // or, with watchLine, the open line has something to look at: bytes, a change of
    // its state, a fault (Input). With the port closed only wakeDescriptor counts;
    // every open and close of the port posts UWM_SIO_POLL to the receive thread.
    SioWait waitInput(int wakeDescriptor, bool watchLine, int timeoutMs);
};

}  // namespace tqm
