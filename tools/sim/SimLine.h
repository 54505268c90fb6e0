#pragma once
// The simulator's end of the line: a pseudo-terminal in raw mode at 9600
// baud, an optional symlink to its device, and writes that never block the
// meter for long. Also the pacing clock and the stop flag the signals set.

#include <csignal>
#include <ctime>
#include <string>

namespace sim {

// Set by SIGINT/SIGTERM: everything that waits gives up.
extern volatile std::sig_atomic_t gStop;

// One character at 9600 baud, 8N1: ten bits.
inline constexpr long kCharNanos = 1041667;

timespec addNanos(timespec t, long nanos);
// Sleeps until `deadline`; false when a stop signal came in meanwhile.
bool sleepUntil(const timespec &deadline);

class Line {
public:
    int master = -1;
    int slave = -1;
    std::string device;
    std::string link;

    bool open();
    bool makeLink(const std::string &path);
    void close();
    // Writes all of `bytes`; gives up (drops the rest) when the line stays
    // full for a second or a stop signal arrives.
    bool write(const std::string &bytes);
};

} // namespace sim
