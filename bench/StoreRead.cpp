#include "StoreRead.h"

#include "FrameFeed.h"
#include "StoreCommands.h"

#include "record/RecordStore.h"
#include "record/Recorder.h"
#include "shell/frmMain.h"
#include "table/ExportWriters.h"
#include "table/FlexGrid.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QWindow>

#include <sys/resource.h>

#include <cstdio>
#include <optional>

namespace {

constexpr int kPerTick = 1000;

// What the benchmark measures, in the order it runs them (the restores go
// last: a restore writes its event into the recording).
struct Figure
{
    const char *name;
    const char *what;
};
constexpr Figure kFigures[] = {
    {"list", "--list-recordings"},
    {"verify", "--verify --recording ID"},
    {"export-csv", "--recording ID --export .csv"},
    {"export-xlsx", "--recording ID --export .xlsx"},
    {"report", "--recording ID --report .pdf"},
    {"restore", "Restore in the window, until painted"},
    {"table-csv", "the restored table's Export .csv"},
    {"table-xlsx", "the restored table's Export .xlsx"},
};

double peakMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
}

// The processor time the process has had, user and system: on a machine
// that others share, the wall clock says more about them.
double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto s = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

// The last line of a child's output, as numbers.
QList<double> lastLine(const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QCoreApplication::applicationFilePath(), args);
    p.waitForFinished(-1);
    const QList<QByteArray> lines = p.readAllStandardOutput().trimmed().split('\n');
    QList<double> numbers;
    if (p.exitCode() != 0 || lines.isEmpty())
        return numbers;
    for (const QByteArray &n : lines.last().simplified().split(' '))
        numbers << n.toDouble();
    return numbers;
}

QByteArray fileHash(const QString &path)
{
    QFile f(path);
    QCryptographicHash h(QCryptographicHash::Sha256);
    if (!f.open(QIODevice::ReadOnly) || !h.addData(&f))
        return {};
    return h.result();
}

// The recording of `rows` rows in `dir`, if a run before made it.
std::optional<qint64> madeBefore(const QString &dir, long rows)
{
    if (!QFile::exists(RecordStore::fileIn(dir)))
        return std::nullopt;
    RecordStore store;
    if (!store.open(dir))
        return std::nullopt;
    for (const RecordingInfo &r : store.list())
        if (r.rows == rows)
            return r.id;
    return std::nullopt;
}

void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// The real window, shown (offscreen), keeping its recordings in `dir`, as a
// user has it when the restore is offered.
struct Window
{
    frmMain w;
    explicit Window(const QString &dir)
    {
        w.show();
        while (!w.windowHandle() || !w.windowHandle()->isExposed())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        w.core().Timer1.stop();
        w.core().Timer2.stop();
        w.enableJournal(dir);
        settle();
    }
    // Restore pressed: until the window has painted the table and chart.
    QString restore(qint64 id)
    {
        const QString error = w.recorder()->restore(id);
        settle();
        return error;
    }
};

} // namespace

int storeMakeChild(const QString &dir, long rows)
{
    FrameFeed feed(true);
    // The logger keeps only the newest rows in its table.
    feed.core().setStreamingOnly(true);
    Recorder rec(feed.core(), dir);
    // The meter's settings again, now that the recorder hears them: a
    // recording as the logger makes one, which a restore lays out again.
    feed.settingsAndClear();
    QElapsedTimer t;
    t.start();
    const double cpuBefore = cpuSeconds();
    for (long first = 1; first <= rows; first += kPerTick) {
        if (feed.appendMany(first, int(std::min<long>(kPerTick, rows - first + 1))) < 0)
            return 1;
        // The recorder's timers (the checkpoint once a second) run between
        // ticks, as in the logger's event loop.
        QCoreApplication::processEvents();
    }
    rec.flush();
    rec.store().checkpoint();
    // Left unfinished, as a crash leaves it: a Restore offers it.
    std::printf("%.3f %.1f %lld %.3f\n", t.nsecsElapsed() / 1e9, peakMb(), rec.lastRecordingId(),
                cpuSeconds() - cpuBefore);
    return 0;
}

int storeFigureChild(const QString &dir, qint64 id, const QString &figure)
{
    const QString out = QDir(dir).filePath(QStringLiteral("out-") + figure);
    std::unique_ptr<Window> window;
    if (figure == QLatin1String("restore") || figure.startsWith(QLatin1String("table-")))
        window = std::make_unique<Window>(dir);
    if (window && figure != QLatin1String("restore")) {
        if (const QString error = window->restore(id); !error.isEmpty()) {
            std::fprintf(stderr, "restore: %s\n", qPrintable(error));
            return 1;
        }
    }
    QElapsedTimer t;
    t.start();
    const double cpuBefore = cpuSeconds();
    int status = 0;
    if (figure == QLatin1String("list")) {
        status = storecmd::list(dir);
    } else if (figure == QLatin1String("verify")) {
        status = storecmd::verify(dir, id);
    } else if (figure == QLatin1String("export-csv")) {
        status = storecmd::exportStored(dir, id, out + QStringLiteral(".csv"), false);
    } else if (figure == QLatin1String("export-xlsx")) {
        status = storecmd::exportStored(dir, id, out + QStringLiteral(".xlsx"), false);
    } else if (figure == QLatin1String("report")) {
        status = storecmd::reportStored(dir, id, out + QStringLiteral(".pdf"), ReportLimits());
    } else if (figure == QLatin1String("restore")) {
        if (const QString error = window->restore(id); !error.isEmpty()) {
            std::fprintf(stderr, "restore: %s\n", qPrintable(error));
            status = 1;
        }
    } else if (window) {
        MainCore &core = window->w.core();
        const QString file = out + (figure.endsWith(QLatin1String("csv")) ? QStringLiteral(".csv") : QStringLiteral(".xlsx"));
        const QString error = exportTable(file, core.MSFlexGrid1->exportSource(core.m.GridRow));
        if (!error.isEmpty()) {
            std::fprintf(stderr, "export: %s\n", qPrintable(error));
            status = 1;
        }
    } else {
        std::fprintf(stderr, "no such figure: %s\n", qPrintable(figure));
        return 1;
    }
    const double seconds = t.nsecsElapsed() / 1e9;
    std::fflush(stdout);
    std::printf("\n%.3f %.1f %.3f\n", seconds, peakMb(), cpuSeconds() - cpuBefore);
    return status;
}

int storeReadBench(long rows, const QString &keepDir)
{
    std::optional<QTemporaryDir> scratch;
    QString dir = keepDir;
    if (dir.isEmpty()) {
        scratch.emplace(QDir::current().filePath(QStringLiteral("tq800-bench-store-XXXXXX")));
        dir = scratch->path();
    }
    QDir().mkpath(dir);
    qint64 id = madeBefore(dir, rows).value_or(0);
    double makeSeconds = -1, makePeak = 0, makeCpu = 0;
    if (id == 0) {
        std::fprintf(stderr, "making a recording of %ld readings in %s\n", rows, qPrintable(dir));
        const QList<double> made =
            lastLine({QStringLiteral("--store-make"), dir, QString::number(rows)});
        if (made.size() < 4) {
            std::fprintf(stderr, "the recording could not be made\n");
            return 1;
        }
        makeSeconds = made[0];
        makePeak = made[1];
        id = qint64(made[2]);
        makeCpu = made[3];
    }
    struct Result
    {
        const Figure *figure;
        double seconds, peak, cpu;
    };
    QList<Result> results;
    for (const Figure &f : kFigures) {
        std::fprintf(stderr, "%s...\n", f.name);
        const QList<double> n = lastLine({QStringLiteral("--store-figure"), dir, QString::number(id),
                                          QString::fromLatin1(f.name)});
        const bool ok = n.size() >= 3;
        results.append({&f, ok ? n[0] : -1, ok ? n[1] : 0, ok ? n[2] : -1});
    }
    const QFileInfo db(RecordStore::fileIn(dir));
    std::printf("the recordings store read back: a recording of %ld conductivity readings (%.0f MB on disk),\n"
                "each figure a process of its own (wall-clock seconds, processor seconds, peak resident memory)\n",
                rows, double(db.size()) / 1e6);
    if (makeSeconds >= 0)
        std::printf("%-44s %8.2f s %8.2f s %8.1f MB\n", "made through the core and the recorder", makeSeconds, makeCpu,
                    makePeak);
    for (const Result &r : results)
        std::printf("%-44s %8.2f s %8.2f s %8.1f MB\n", r.figure->what, r.seconds, r.cpu, r.peak);
    auto seconds = [&](const char *name) {
        for (const Result &r : results)
            if (qstrcmp(r.figure->name, name) == 0)
                return r.seconds;
        return -1.0;
    };
    for (const char *format : {"csv", "xlsx"}) {
        const double table = seconds(QByteArray("table-").append(format).constData());
        if (table > 0)
            std::printf("export .%s from the store / from the table: %.2f\n", format,
                        seconds(QByteArray("export-").append(format).constData()) / table);
    }
    const QByteArray fromStore = fileHash(QDir(dir).filePath(QStringLiteral("out-export-csv.csv")));
    std::printf(".csv from the store and from the table: %s\n",
                !fromStore.isEmpty() && fromStore == fileHash(QDir(dir).filePath(QStringLiteral("out-table-csv.csv")))
                    ? "the same bytes"
                    : "DIFFERENT");
    std::printf("\n");
    if (makeSeconds >= 0)
        std::printf("store %ld make %.3f s %.3f cpu-s %.1f MB\n", rows, makeSeconds, makeCpu, makePeak);
    for (const Result &r : results)
        std::printf("store %ld %s %.3f s %.3f cpu-s %.1f MB\n", rows, r.figure->name, r.seconds, r.cpu, r.peak);
    for (const QString &f : QDir(dir).entryList({QStringLiteral("out-*")}, QDir::Files))
        QFile::remove(QDir(dir).filePath(f));
    return 0;
}
