#include "sim/pty_master.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace tqm::sim {

PtyMaster::~PtyMaster() { close(); }

bool PtyMaster::open() {
    close();
    m_fd = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_fd < 0) {
        return fail("posix_openpt");
    }
    const int flags = fcntl(m_fd, F_GETFL);
    if (flags < 0 || fcntl(m_fd, F_SETFL, flags | O_NONBLOCK) < 0 || fcntl(m_fd, F_SETFD, FD_CLOEXEC) < 0) {
        return fail("fcntl");
    }
    if (grantpt(m_fd) != 0) {
        return fail("grantpt");
    }
    if (unlockpt(m_fd) != 0) {
        return fail("unlockpt");
    }
    char name[128] = {};
    if (ptsname_r(m_fd, name, sizeof name) != 0) {
        return fail("ptsname_r");
    }
    termios tio{};
    if (tcgetattr(m_fd, &tio) != 0) {
        return fail("tcgetattr");
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    if (tcsetattr(m_fd, TCSANOW, &tio) != 0) {
        return fail("tcsetattr");
    }
    m_slavePath = name;
    m_errorText.clear();
    return true;
}

int PtyMaster::lineSpeed() const {
    struct SpeedRow {
        speed_t speed;
        int baud;
    };
    static constexpr SpeedRow kSpeeds[] = {{B1200, 1200},   {B2400, 2400},   {B4800, 4800},   {B9600, 9600},
                                           {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
    termios tio{};
    // The master reads the settings of the terminal's slave side.
    if (m_fd < 0 || tcgetattr(m_fd, &tio) != 0) return 0;
    const speed_t speed = cfgetospeed(&tio);
    for (const SpeedRow& row : kSpeeds) {
        if (row.speed == speed) return row.baud;
    }
    return 0;
}

void PtyMaster::close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_slavePath.clear();
}

bool PtyMaster::fail(const char* step) {
    m_errorText = std::string(step) + ": " + std::strerror(errno);
    close();
    return false;
}

}  // namespace tqm::sim
