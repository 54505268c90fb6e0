#include "shell/LineRead.h"

#include <cerrno>
#include <cstring>

#include <poll.h>
#include <unistd.h>

namespace {

QString systemReason()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

const QString kHungUp = QStringLiteral("the device hung up");

} // namespace

QString readWaiting(int fd, QByteArray &into)
{
    pollfd p{fd, POLLIN, 0};
    int rc;
    do
        rc = ::poll(&p, 1, 0);
    while (rc < 0 && errno == EINTR);
    if (rc < 0)
        return systemReason();
    if (p.revents & POLLNVAL)
        return QStringLiteral("the device was closed");
    if (p.revents & POLLIN) {
        // Data first: a line that hangs up may still hold the last bytes
        // the meter sent. A read of 0 counts as the end only right after
        // poll() said readable: a tty in raw mode also reads 0 when it
        // simply has nothing.
        char buf[4096];
        bool readAny = false;
        for (;;) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0) {
                into.append(buf, n);
                readAny = true;
                if (std::size_t(n) < sizeof buf)
                    break;
            } else if (n == 0) {
                if (!readAny)
                    return kHungUp;
                break;
            } else if (errno != EINTR) {
                if (errno == EAGAIN || errno == EWOULDBLOCK)
                    break;
                return systemReason();
            }
        }
    }
    if (p.revents & (POLLHUP | POLLERR))
        return kHungUp;
    return {};
}
