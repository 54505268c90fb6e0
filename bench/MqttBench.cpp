// What publishing costs, end to end: the simulated meter sends its memory as
// fast as the line takes it, the logger records every row in its store and
// publishes it to a real mosquitto on a loopback port, and a subscriber here
// takes the readings. Prints readings per second from the first reading
// received to the last, and for each reading the time from its row being
// completed (its receipt time) to the subscriber having it: median and p99.
//
// Once with the meter's memory sent as fast as the line takes it (the
// throughput), once paced at 9600 baud as a real line is (the latency at a
// real meter's rate, with nothing queued).
//
//   tq800-bench-mqtt [--rows N] [--paced-rows N]     (default 5000, 300)
//
// Needs mosquitto and the logger and simulator built beside this program.
#include "../tests/support/FreePort.h"
#include "text/NumericLocale.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <map>
#include <set>
#include <tuple>
#include <cstdio>
#include <ctime>
#include <vector>

#include <arpa/inet.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

double nowMs()
{
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// What the subscriber's thread collects.
struct Received
{
    QMutex lock;
    std::vector<double> arrivedMs, latencyMs;
    std::vector<int> rows;
    std::vector<qint64> recordings;
    bool subscribed = false;
};

void onMessage(mosquitto *, void *obj, const mosquitto_message *m)
{
    const double at = nowMs();
    auto *r = static_cast<Received *>(obj);
    const QJsonObject o = QJsonDocument::fromJson(QByteArray(static_cast<const char *>(m->payload), m->payloadlen)).object();
    const QDateTime received = QDateTime::fromString(o.value(QStringLiteral("received")).toString(), Qt::ISODateWithMs);
    QMutexLocker hold(&r->lock);
    r->arrivedMs.push_back(at);
    r->latencyMs.push_back(at - double(received.toMSecsSinceEpoch()));
    r->rows.push_back(o.value(QStringLiteral("row")).toInt());
    r->recordings.push_back(o.value(QStringLiteral("recording")).toInteger());
}

void onSubscribe(mosquitto *, void *obj, int, int, const int *)
{
    auto *r = static_cast<Received *>(obj);
    QMutexLocker hold(&r->lock);
    r->subscribed = true;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(double(v.size()) * p))];
}

struct Figures
{
    long received = 0, distinct = 0;
    double rate = 0, medianMs = 0, p99Ms = 0;
};

// One run: mosquitto, the subscriber, the meter sending `rows` stored
// records (as fast as the line takes them, or `paced` at 9600 baud, the
// line's own rate) and the logger publishing them.
Figures run(const QString &broker, int rows, bool paced)
{
    QTemporaryDir dir;
    const int port = freeLoopbackPort();
    QFile conf(dir.filePath(QStringLiteral("mosquitto.conf")));
    conf.open(QIODevice::WriteOnly);
    conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\n").arg(port).toUtf8());
    conf.close();
    QProcess mosq, meter, logger;
    mosq.start(broker, {QStringLiteral("-c"), conf.fileName()});
    mosq.waitForStarted();

    // 1. The subscriber, in before anything is published.
    Received got;
    mosquitto *sub = mosquitto_new(nullptr, true, &got);
    mosquitto_message_callback_set(sub, onMessage);
    mosquitto_subscribe_callback_set(sub, onSubscribe);
    for (int i = 0; i < 100 && mosquitto_connect(sub, "127.0.0.1", port, 60) != MOSQ_ERR_SUCCESS; ++i)
        QThread::msleep(50);
    mosquitto_subscribe(sub, nullptr, "tq800/bench/reading", 1);
    mosquitto_loop_start(sub);
    for (int i = 0; i < 200; ++i) {
        QMutexLocker hold(&got.lock);
        if (got.subscribed)
            break;
        hold.unlock();
        QThread::msleep(10);
    }

    // 2. The meter's memory, the logger publishing it.
    const QString here = QCoreApplication::applicationDirPath();
    const QString link = dir.filePath(QStringLiteral("meter"));
    QStringList simArgs{QStringLiteral("--quiet"), QStringLiteral("--family"), QStringLiteral("cond"),
                        QStringLiteral("--memory"), QString::number(rows), QStringLiteral("--dump-after"),
                        QStringLiteral("3"), QStringLiteral("--link"), link};
    if (!paced)
        simArgs << QStringLiteral("--unpaced");
    meter.start(QDir(here).filePath(QStringLiteral("../tools/sim/tq800-sim")), simArgs);
    for (int i = 0; i < 100 && !QFileInfo(link).isSymLink(); ++i)
        QThread::msleep(50);
    logger.start(QDir(here).filePath(QStringLiteral("../tools/log/tq800-log")),
                 {QStringLiteral("--port"), link, QStringLiteral("--journal"), dir.filePath(QStringLiteral("store")),
                  QStringLiteral("--until-end"), QStringLiteral("--mqtt"), QStringLiteral("mqtt://127.0.0.1:%1").arg(port),
                  QStringLiteral("--mqtt-topic"), QStringLiteral("tq800/bench")});
    logger.waitForFinished(1800000);
    // What the logger sent before its end, still on its way.
    for (int i = 0, last = -1; i < 100; ++i) {
        QThread::msleep(50);
        QMutexLocker hold(&got.lock);
        const int n = int(got.rows.size());
        if (n == last)
            break;
        last = n;
    }
    mosquitto_disconnect(sub);
    mosquitto_loop_stop(sub, false);
    mosquitto_destroy(sub);
    meter.terminate();
    meter.waitForFinished();
    mosq.terminate();
    mosq.waitForFinished();

    // 3. The download's recording only: a live reading before it is another.
    Figures f;
    std::map<qint64, std::set<int>> byRecording;
    for (std::size_t i = 0; i < got.rows.size(); ++i)
        byRecording[got.recordings[i]].insert(got.rows[i]);
    qint64 download = 0;
    for (const auto &[rec, set] : byRecording)
        if (!download || set.size() > byRecording[download].size())
            download = rec;
    std::vector<double> arrived, latency;
    for (std::size_t i = 0; i < got.rows.size(); ++i)
        if (got.recordings[i] == download) {
            arrived.push_back(got.arrivedMs[i]);
            latency.push_back(got.latencyMs[i]);
        }
    f.received = long(arrived.size());
    f.distinct = download ? long(byRecording[download].size()) : 0;
    const double spanS = arrived.size() > 1 ? (arrived.back() - arrived.front()) / 1e3 : 0;
    f.rate = spanS > 0 ? double(arrived.size() - 1) / spanS : 0;
    f.medianMs = percentile(latency, 0.5);
    f.p99Ms = percentile(latency, 0.99);
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    useCNumbers();
    int rows = 5000, pacedRows = 300;
    const QStringList args = app.arguments();
    for (int a = 1; a < args.size(); ++a) {
        if (args[a] == QLatin1String("--rows") && a + 1 < args.size()) {
            rows = args[++a].toInt();
        } else if (args[a] == QLatin1String("--paced-rows") && a + 1 < args.size()) {
            pacedRows = args[++a].toInt();
        } else {
            std::printf("tq800-bench-mqtt %s\nusage: tq800-bench-mqtt [--rows N] [--paced-rows N]\n", TQ800_VERSION);
            return args[a] == QLatin1String("--help") || args[a] == QLatin1String("--version") ? 0 : 1;
        }
    }
    QString broker = QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
    if (broker.isEmpty())
        broker = QStandardPaths::findExecutable(QStringLiteral("mosquitto"), {QStringLiteral("/usr/sbin")});
    if (broker.isEmpty()) {
        std::fprintf(stderr, "mosquitto is not installed\n");
        return 1;
    }
    mosquitto_lib_init();
    const Figures burst = run(broker, rows, false);
    const Figures line = run(broker, pacedRows, true);
    std::printf("publishing through mosquitto on loopback, end to end (meter, logger and store, broker, subscriber)\n");
    std::printf("%-34s %8s %9s %8s %11s %9s %8s\n", "", "rows", "received", "repeats", "readings/s", "median ms",
                "p99 ms");
    for (const auto &[name, f, n] : {std::tuple{"as fast as the line takes them", burst, rows},
                                     std::tuple{"at the line's own pace (9600 Bd)", line, pacedRows}})
        std::printf("%-34s %8d %9ld %8ld %11.0f %9.1f %8.1f\n", name, n, f.distinct, f.received - f.distinct, f.rate,
                    f.medianMs, f.p99Ms);
    std::printf("headroom over a line's 50 readings/s: %.0fx\n", burst.rate / 50);
    std::printf("(latency: a row completed, by its receipt time, to the subscriber having it)\n");
    // Every stored record arrived (a live reading may share the recording).
    return burst.distinct >= rows && line.distinct >= pacedRows ? 0 : 1;
}
