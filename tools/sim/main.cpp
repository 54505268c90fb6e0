// tq800-sim: a bench meter on a pseudo-terminal.
//
// Opens a pty, prints the name of its device, and answers the program's
// requests there the way a meter on a 9600-baud line does, so the program
// can be run and tested without an instrument.

#include "SimFrames.h"
#include "SimLine.h"
#include "SimMeter.h"
#include "SimRequests.h"
#include "text/NumericLocale.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using sim::addNanos;
using sim::gStop;
using sim::kCharNanos;
using sim::Line;
using sim::sleepUntil;

void onSignal(int)
{
    sim::gStop = 1;
}

struct Options {
    sim::MeterOptions meter;
    std::string link;
    bool paced = true;
    int gapMs = 0;
    bool quiet = false;
    int memory = 50;          // records in the meter's memory
    int dumpAfterMs = -1;     // send the memory this long after start; -1 never
};

void usage(std::FILE *out)
{
    std::fprintf(out,
        "Usage: tq800-sim [options]\n"
        "Simulates a bench meter on a pseudo-terminal and prints its device name\n"
        "as \"device: /dev/pts/N\". Answers \"@A#\" with model, settings and end\n"
        "frames, \"@#\" with one live reading, and stops readings on \"@B#\".\n"
        "\n"
        "  --family F      meter family: %s (default ph)\n"
        "  --mode N        force measuring mode N (0..15) for the readings\n"
        "  --ion N         ISE ion 0..10 (default 1, Na; 10 = user-defined)\n"
        "  --molar-mass N  molar mass in g/mol of the user-defined ion (default 123)\n"
        "  --celsius 0|1   temperature unit reported in the settings (default 1)\n"
        "  --model TEXT    model code of the \"M\" frame (default: one per family)\n"
        "  --link PATH     make PATH a symlink to the device while running\n"
        "  --unpaced       write each frame at once instead of at 9600 baud\n"
        "  --gap MS        pause between the frames of one answer (default 0;\n"
        "                  0 with --unpaced writes the whole answer at once)\n"
        "  --seed N        seed of the random drift (default: from the clock)\n"
        "  --memory N      records in the meter's memory (default 50), every\n"
        "                  measuring mode of the family among them\n"
        "  --dump-after S  send the memory S seconds after start; typing \"dump\"\n"
        "                  on standard input sends it too: the records back to\n"
        "                  back as \"S\" frames, then \"<E>\" (paced, or with\n"
        "                  --unpaced as fast as the line takes them)\n"
        "  --quiet         do not log requests and frames on stderr\n"
        "  --version       show the version\n"
        "  --help          show this text\n",
        sim::familyNames().c_str());
}

bool parseInt(const std::string &text, int lo, int hi, int &out)
{
    char *end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v < lo || v > hi)
        return false;
    out = static_cast<int>(v);
    return true;
}

// Returns 0 to run, 1 for a usage error, 2 for --help.
int parseArgs(int argc, char **argv, Options &o)
{
    o.meter.family = sim::findFamily("ph");
    o.meter.seed = static_cast<unsigned>(std::time(nullptr));
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        auto needValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= argc) {
                std::fprintf(stderr, "tq800-sim: %s needs a value\n", arg.c_str());
                return false;
            }
            value = argv[++i];
            return true;
        };
        auto bad = [&]() {
            std::fprintf(stderr, "tq800-sim: bad value for %s: %s\n", arg.c_str(), value.c_str());
            return 1;
        };
        int n = 0;
        if (arg == "--help" || arg == "-h") {
            return 2;
        } else if (arg == "--version") {
            return 3;
        } else if (arg == "--memory") {
            if (!needValue() || !parseInt(value, 0, 10000000, o.memory))
                return bad();
        } else if (arg == "--dump-after") {
            if (!needValue())
                return 1;
            double s = -1;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), s);
            if (ec != std::errc() || end != value.data() + value.size() || !(s >= 0 && s <= 1e6))
                return bad();
            o.dumpAfterMs = static_cast<int>(s * 1000);
        } else if (arg == "--unpaced") {
            o.paced = false;
        } else if (arg == "--quiet") {
            o.quiet = true;
        } else if (arg == "--family") {
            if (!needValue())
                return 1;
            o.meter.family = sim::findFamily(value);
            if (!o.meter.family)
                return bad();
        } else if (arg == "--mode") {
            if (!needValue() || !parseInt(value, 0, 15, o.meter.mode))
                return bad();
        } else if (arg == "--ion") {
            if (!needValue() || !parseInt(value, 0, 10, o.meter.ion))
                return bad();
        } else if (arg == "--molar-mass") {
            if (!needValue() || !parseInt(value, 0, 4095, o.meter.molarMass))
                return bad();
        } else if (arg == "--celsius") {
            if (!needValue() || !parseInt(value, 0, 1, n))
                return bad();
            o.meter.celsius = n == 1;
        } else if (arg == "--model") {
            if (!needValue())
                return 1;
            o.meter.model = value;
        } else if (arg == "--link") {
            if (!needValue() || value.empty())
                return bad();
            o.link = value;
        } else if (arg == "--gap") {
            if (!needValue() || !parseInt(value, 0, 10000, o.gapMs))
                return bad();
        } else if (arg == "--seed") {
            if (!needValue() || !parseInt(value, 0, 2147483647, n))
                return bad();
            o.meter.seed = static_cast<unsigned>(n);
        } else {
            std::fprintf(stderr, "tq800-sim: unknown option %s\n", arg.c_str());
            return 1;
        }
    }
    return 0;
}

class Meter {
public:
    Meter(const Options &o, Line &line, const std::tm &now)
        : m_opts(o), m_line(line), m_sim(o.meter, now)
    {
    }

    void handle(const std::string &command)
    {
        const sim::Request kind = sim::classifyRequest(command);
        log("<- @%s#%s", command.c_str(), kind == sim::Request::Ignored ? " (ignored)" : "");
        switch (kind) {
        case sim::Request::Identify:
            m_answering = true;
            send({sim::encodeModel(m_sim.modelCode()), sim::encodeSettings(m_sim.settings()),
                  sim::encodeEnd()});
            break;
        case sim::Request::Reading:
            if (m_answering) {
                const std::time_t t = std::time(nullptr);
                std::tm now{};
                localtime_r(&t, &now);
                send({sim::encodeLive(m_sim.nextReading(now))});
            }
            break;
        case sim::Request::Stop:
            m_answering = false;
            break;
        case sim::Request::Ignored:
            break;
        }
    }

    // The whole memory, back to back, then the end frame.
    void dumpMemory()
    {
        const std::time_t t = std::time(nullptr);
        std::tm now{};
        localtime_r(&t, &now);
        std::vector<std::string> frames;
        for (const sim::StoredRecord &r : m_sim.memory(m_opts.memory, now))
            frames.push_back(sim::encodeStored(r));
        frames.push_back(sim::encodeEnd());
        log("-- sending %d stored records", m_opts.memory);
        const bool quiet = m_quietFrames;
        m_quietFrames = frames.size() > 20;   // a long dump is logged by its count
        send(frames);
        m_quietFrames = quiet;
    }

private:
    template <typename... Args>
    void log(const char *format, Args... args)
    {
        if (m_opts.quiet)
            return;
        std::fprintf(stderr, format, args...);
        std::fputc('\n', stderr);
    }

    void send(const std::vector<std::string> &frames)
    {
        if (!m_opts.paced && m_opts.gapMs == 0) {
            std::string all;
            for (const std::string &f : frames) {
                all += f;
                if (!m_quietFrames)
                    log("-> %s", f.c_str());
            }
            m_line.write(all);
            return;
        }
        for (size_t i = 0; i < frames.size() && !gStop; ++i) {
            // The program takes one frame per receive tick and drops the rest
            // of what it read, so frames of one answer need air between them.
            if (i > 0 && m_opts.gapMs > 0) {
                timespec t{};
                clock_gettime(CLOCK_MONOTONIC, &t);
                if (!sleepUntil(addNanos(t, m_opts.gapMs * 1000000L)))
                    return;
            }
            if (!m_quietFrames)
                log("-> %s", frames[i].c_str());
            if (m_opts.paced)
                sendPaced(frames[i]);
            else if (!m_line.write(frames[i]))
                return;
        }
    }

    void sendPaced(const std::string &frame)
    {
        timespec next{};
        clock_gettime(CLOCK_MONOTONIC, &next);
        for (char c : frame) {
            if (!m_line.write(std::string(1, c)))
                return;
            next = addNanos(next, kCharNanos);
            if (!sleepUntil(next))
                return;
        }
    }

    const Options &m_opts;
    Line &m_line;
    sim::SimMeter m_sim;
    bool m_answering = true;
    bool m_quietFrames = false;
};

} // namespace

int main(int argc, char **argv)
{
    // A C program starts in the C locale; said all the same, so that
    // nothing added later lets the user's language into the frames.
    useCNumbers();
    Options opts;
    switch (parseArgs(argc, argv, opts)) {
    case 0:
        break;
    case 2:
        usage(stdout);
        return 0;
    case 3:
        std::printf("tq800-sim %s\n", TQ800_VERSION);
        return 0;
    default:
        usage(stderr);
        return 2;
    }

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: a signal must wake poll() and sleeps
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    Line line;
    if (!line.open()) {
        line.close();
        return 1;
    }
    // A link that cannot be made (no such folder, not a link in the way) is
    // a bad --link PATH, which the user mends, not the pseudo-terminal.
    if (!opts.link.empty() && !line.makeLink(opts.link)) {
        line.close();
        return 2;
    }
    std::printf("device: %s\n", line.device.c_str());
    std::fflush(stdout);

    const std::time_t t = std::time(nullptr);
    std::tm now{};
    localtime_r(&t, &now);
    Meter meter(opts, line, now);

    std::string pending;
    std::string typed;            // standard input, for "dump"
    bool stdinOpen = true;
    timespec started{};
    clock_gettime(CLOCK_MONOTONIC, &started);
    bool dumpDue = opts.dumpAfterMs >= 0;
    char buf[512];
    int status = 0;
    while (!gStop) {
        if (dumpDue) {
            timespec t{};
            clock_gettime(CLOCK_MONOTONIC, &t);
            const long ms = (t.tv_sec - started.tv_sec) * 1000 + (t.tv_nsec - started.tv_nsec) / 1000000;
            if (ms >= opts.dumpAfterMs) {
                dumpDue = false;
                meter.dumpMemory();
            }
        }
        pollfd fds[2] = {{line.master, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        const int rc = ::poll(fds, stdinOpen ? 2 : 1, dumpDue ? 20 : 500);
        if (rc > 0 && stdinOpen && (fds[1].revents & (POLLIN | POLLHUP))) {
            const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
            if (n <= 0) {
                stdinOpen = false;
            } else {
                typed.append(buf, static_cast<size_t>(n));
                for (size_t nl; (nl = typed.find('\n')) != std::string::npos; typed.erase(0, nl + 1)) {
                    std::string word = typed.substr(0, nl);
                    while (!word.empty() && (word.back() == '\r' || word.back() == ' '))
                        word.pop_back();
                    if (word == "dump")
                        meter.dumpMemory();
                    else if (!word.empty())
                        std::fprintf(stderr, "tq800-sim: type \"dump\" to send the memory\n");
                }
            }
        }
        pollfd &p = fds[0];
        if (rc < 0) {
            if (errno == EINTR)
                continue;
            std::perror("tq800-sim: poll");
            status = 1;
            break;
        }
        if (rc == 0 || !(p.revents & POLLIN))
            continue;
        const ssize_t n = ::read(line.master, buf, sizeof buf);
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            std::perror("tq800-sim: read");
            status = 1;
            break;
        }
        pending.append(buf, static_cast<size_t>(n));
        sim::RequestSplit split = sim::splitRequests(pending);
        pending = std::move(split.tail);
        for (const std::string &command : split.commands) {
            if (gStop)
                break;
            meter.handle(command);
        }
    }

    line.close();
    return status;
}
