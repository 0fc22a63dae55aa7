#pragma once

#include <QString>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

// A pseudo-terminal whose far end the test plays through `master`: raw, so
// nothing echoes, and its slave side kept open, so the master is never hung
// up. `slave` is the device a program opens.
struct RawPty {
    int master = -1;
    QString slave;

    RawPty() = default;
    RawPty(const RawPty &) = delete;
    RawPty &operator=(const RawPty &) = delete;
    ~RawPty() {
        if (m_keep >= 0)
            ::close(m_keep);
        if (master >= 0)
            ::close(master);
    }
    bool open() {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            return false;
        slave = QString::fromLocal8Bit(ptsname(master));
        m_keep = ::open(ptsname(master), O_RDWR | O_NOCTTY);
        termios t{};
        if (m_keep < 0 || tcgetattr(m_keep, &t) != 0)
            return false;
        cfmakeraw(&t);
        return tcsetattr(m_keep, TCSANOW, &t) == 0;
    }

private:
    int m_keep = -1;
};
