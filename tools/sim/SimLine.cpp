#include "SimLine.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

volatile std::sig_atomic_t gStop = 0;

timespec addNanos(timespec t, long nanos)
{
    t.tv_nsec += nanos;
    while (t.tv_nsec >= 1000000000L) {
        t.tv_nsec -= 1000000000L;
        ++t.tv_sec;
    }
    return t;
}

bool sleepUntil(const timespec &deadline)
{
    while (!gStop) {
        const int rc = clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr);
        if (rc == 0)
            return true;
        if (rc != EINTR)
            return false;
    }
    return false;
}

bool Line::open()
{
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("tq800-sim: pseudo-terminal");
        return false;
    }
    const char *name = ptsname(master);
    if (!name) {
        std::perror("tq800-sim: ptsname");
        return false;
    }
    device = name;
    // Holding the slave ourselves keeps the master from seeing a hang-up
    // whenever the program closes the port, and lets us set raw mode
    // before the program opens it: with echo on, our own frames would
    // come back to us as input.
    slave = ::open(device.c_str(), O_RDWR | O_NOCTTY);
    if (slave < 0) {
        std::perror("tq800-sim: open slave");
        return false;
    }
    termios tio{};
    if (tcgetattr(slave, &tio) != 0) {
        std::perror("tq800-sim: tcgetattr");
        return false;
    }
    cfmakeraw(&tio);
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    tio.c_cflag |= CLOCAL | CREAD;
    if (tcsetattr(slave, TCSANOW, &tio) != 0) {
        std::perror("tq800-sim: tcsetattr");
        return false;
    }
    // Never block on a full line: a meter keeps sending whether or not
    // anyone listens.
    const int flags = fcntl(master, F_GETFL);
    fcntl(master, F_SETFL, flags | O_NONBLOCK);
    return true;
}

bool Line::makeLink(const std::string &path)
{
    char target[4096];
    const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
    if (n >= 0) {
        // An old link, perhaps left by a simulator that was killed.
        ::unlink(path.c_str());
    } else if (access(path.c_str(), F_OK) == 0) {
        std::fprintf(stderr, "tq800-sim: %s exists and is not a symlink\n", path.c_str());
        return false;
    }
    if (symlink(device.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "tq800-sim: symlink %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    link = path;
    return true;
}

void Line::close()
{
    if (!link.empty()) {
        char target[4096];
        const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        if (n >= 0 && std::string(target, static_cast<size_t>(n)) == device)
            ::unlink(link.c_str());
        link.clear();
    }
    if (slave >= 0)
        ::close(slave);
    if (master >= 0)
        ::close(master);
    slave = master = -1;
}

bool Line::write(const std::string &bytes)
{
    size_t done = 0;
    int waits = 0;
    while (done < bytes.size() && !gStop) {
        const ssize_t n = ::write(master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            waits = 0;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            std::perror("tq800-sim: write");
            return false;
        }
        // A line nobody has open stays full for good; a reader that is only
        // busy (a slow build of it, a disk that stalls its store) drains it
        // within seconds, and an answer dropped then would be a download cut
        // short that no meter would cut.
        if (++waits > 100) {
            std::fprintf(stderr, "tq800-sim: nobody reads the line, answer dropped\n");
            return false;
        }
        pollfd p{master, POLLOUT, 0};
        ::poll(&p, 1, 100);
    }
    return done == bytes.size();
}

} // namespace sim
