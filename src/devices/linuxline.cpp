#include "devices/linuxline.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept;

namespace lobrana::devices::line {

namespace {

bool Get(int fd, termios2& t) {
    return ioctl(fd, TCGETS2, &t) == 0;
}
bool Set(int fd, const termios2& t) {
    return ioctl(fd, TCSETS2, &t) == 0;
}

} // namespace

bool MakeRaw(int fd) {
    termios2 t{};
    if (!Get(fd, t))
        return false;
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag |= CREAD | CLOCAL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    return Set(fd, t);
}

int GetSpeed(int fd) {
    termios2 t{};
    if (!Get(fd, t))
        return -1;
    return static_cast<int>(t.c_ospeed);
}

bool SetSpeed(int fd, int speed) {
    if (speed <= 0)
        return false;
    termios2 t{};
    if (!Get(fd, t))
        return false;
    t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = static_cast<speed_t>(speed);
    t.c_ospeed = static_cast<speed_t>(speed);
    return Set(fd, t);
}

bool SetDataBits(int fd, int bits) {
    tcflag_t size = 0;
    switch (bits) {
    case 5:
        size = CS5;
        break;
    case 6:
        size = CS6;
        break;
    case 7:
        size = CS7;
        break;
    case 8:
        size = CS8;
        break;
    default:
        return false;
    }
    termios2 t{};
    if (!Get(fd, t))
        return false;
    t.c_cflag = (t.c_cflag & ~CSIZE) | size;
    return Set(fd, t);
}

bool SetParity(int fd, int kind) {
    termios2 t{};
    if (!Get(fd, t))
        return false;
    t.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    switch (kind) {
    case 0:
        break;
    case 1:
        t.c_cflag |= PARENB | PARODD;
        break;
    case 2:
        t.c_cflag |= PARENB;
        break;
    case 3:
        t.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case 4:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        return false;
    }
    return Set(fd, t);
}

bool SetStopBits(int fd, int kind) {
    if (kind < 0 || kind > 2)
        return false;
    termios2 t{};
    if (!Get(fd, t))
        return false;
    // The line drivers give 1.5 stop bits for CSTOPB with 5 data bits, as the setting means.
    if (kind == 0)
        t.c_cflag &= ~CSTOPB;
    else
        t.c_cflag |= CSTOPB;
    return Set(fd, t);
}

int GetDataBits(int fd) {
    termios2 t{};
    if (!Get(fd, t))
        return -1;
    switch (t.c_cflag & CSIZE) {
    case CS5:
        return 5;
    case CS6:
        return 6;
    case CS7:
        return 7;
    default:
        return 8;
    }
}

int GetParity(int fd) {
    termios2 t{};
    if (!Get(fd, t))
        return -1;
    if (!(t.c_cflag & PARENB))
        return 0;
    const bool odd = t.c_cflag & PARODD;
    if (t.c_cflag & CMSPAR)
        return odd ? 3 : 4;
    return odd ? 1 : 2;
}

int GetStopBits(int fd) {
    termios2 t{};
    if (!Get(fd, t))
        return -1;
    return (t.c_cflag & CSTOPB) ? 2 : 0;
}

} // namespace lobrana::devices::line
