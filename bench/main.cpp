// What a long log costs, in one table: for logs of 1e3, 1e5 and 1e6 rows
// (a week at one reading a second is 604,800), the memory per row; the time
// to handle one live frame end to end (cut, decode, derive, cells, highlight,
// growth, chart segment), median and p99 over the last thousand, the worst
// so far and the worst of the frames that double the time base (and so
// redraw the whole log); a range change redrawing the whole log; painting
// the chart at its window size; saving it as a picture; writing the table as
// .xls, .xlsx and .csv. Then the table alone beside the classic design of
// such a log, one QTableWidget item per cell, each in a process of its own;
// the real window (CPU per reading with its widgets and repaint, a click on
// a range button to the chart painted again, resident memory) beside the
// same log in a Qt Charts line series; and the start-up time to a shown
// window.
//
//   tq800-bench [--rows N] [--family ph|cond] [--window-only]
//   tq800-bench --store-rows N [--store-dir DIR]    (see StoreRead.h)
#include "FrameFeed.h"
#include "StoreCost.h"
#include "StoreRead.h"
#include "TableDesigns.h"
#include "WindowBench.h"

#include "chart/ChartPainter.h"
#include "shell/MainCore.h"
#include "shell/frmMain.h"
#include "table/ExportWriters.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

QString cpuName()
{
    std::ifstream info("/proc/cpuinfo");
    std::string line;
    while (std::getline(info, line))
        if (line.rfind("model name", 0) == 0)
            return QString::fromStdString(line.substr(line.find(':') + 2));
    return QStringLiteral("unknown processor");
}

double seconds(const QElapsedTimer &t) { return t.nsecsElapsed() / 1e9; }

double exportSeconds(const FlexGrid &grid, int lastRow, const QString &file)
{
    QElapsedTimer t;
    t.start();
    const QString error = exportTable(file, grid.exportSource(lastRow));
    if (!error.isEmpty()) {
        std::fprintf(stderr, "export to %s failed: %s\n", qPrintable(file), qPrintable(error));
        return -1;
    }
    return seconds(t);
}

// The same program started again in a mode of its own; its one line of
// output, split into numbers.
QList<double> child(const QStringList &args)
{
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), args);
    p.waitForFinished(-1);
    QList<double> numbers;
    for (const QByteArray &n : p.readAllStandardOutput().simplified().split(' '))
        numbers << n.toDouble();
    return numbers;
}

// Child: the table alone, one design, for at most a minute.
int tableChild(const QString &design, long rows)
{
    constexpr double kBudgetSeconds = 60;
    const TableFigures f = appendRows(design == QLatin1String("classic") ? TableDesign::Classic : TableDesign::Ours,
                                      rows, kBudgetSeconds);
    std::printf("%.1f %.3f %.3f %ld\n", f.bytesPerRow, f.medianUs, f.p99Us, f.rows);
    return 0;
}

std::vector<long> marksFrom(const QStringList &args, int from)
{
    std::vector<long> marks;
    for (int a = from; a < args.size(); ++a)
        marks.push_back(args[a].toLong());
    return marks;
}

QStringList markArgs(const QString &mode, const std::vector<long> &marks)
{
    QStringList args{mode};
    for (long m : marks)
        args << QString::number(m);
    return args;
}

// The same program in a mode of its own, one line of numbers per mark.
std::vector<QList<double>> childLines(const QStringList &args)
{
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), args);
    p.waitForFinished(-1);
    std::vector<QList<double>> lines;
    for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        QList<double> numbers;
        for (const QByteArray &n : line.simplified().split(' '))
            numbers << n.toDouble();
        lines.push_back(numbers);
    }
    return lines;
}

void printWindow(const std::vector<QList<double>> &window, const std::vector<QList<double>> &charts)
{
    std::printf("\nthe real window (offscreen, every widget laid out and painted after each reading),\n"
                "beside the same log in a Qt Charts line series\n");
    std::printf("%9s %9s %9s %9s %7s | %9s %11s %7s\n", "rows", "cpu ms", "wall ms", "click ms", "B/row",
                "qtc paint", "qtc +1 pt", "B/pt");
    for (std::size_t k = 0; k < window.size(); ++k) {
        const QList<double> &w = window[k];
        if (w.size() < 5)
            continue;
        std::printf("%9ld %9.3f %9.3f %9.2f %7.1f", long(w[0]), w[1], w[2], w[3], w[4]);
        if (k < charts.size() && charts[k].size() >= 4)
            std::printf(" | %9.1f %11.1f %7.1f", charts[k][1], charts[k][2], charts[k][3]);
        std::printf("\n");
    }
}

// Child: the window, shown; prints how long that took from the start of the
// process (the parent adds the cost of starting a process).
int startupChild(const QElapsedTimer &sinceStart)
{
    frmMain w;
    w.show();
    while (!w.windowHandle() || !w.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    QCoreApplication::processEvents();   // the first paint
    std::printf("%.3f\n", sinceStart.nsecsElapsed() / 1e6);
    return 0;
}

// Child: a log of `rows` readings written as each format, or as the one
// format named; the seconds each took (what a profile of an export runs on).
int exportsChild(long rows, const QString &only)
{
    FrameFeed feed(true);
    for (long i = 1; i <= rows; ++i)
        feed.append(i);
    QTemporaryDir scratch(QDir::current().filePath(QStringLiteral("tq800-bench-XXXXXX")));
    const FlexGrid &grid = *feed.core().MSFlexGrid1;
    const int lastRow = feed.core().m.GridRow;
    for (const QString &format : {QStringLiteral("xls"), QStringLiteral("xlsx"), QStringLiteral("csv")})
        if (only.isEmpty() || only == format)
            std::printf("%.3f ", exportSeconds(grid, lastRow, scratch.filePath(QStringLiteral("log.") + format)));
    std::printf("\n");
    return 0;
}

// Child: a log of `rows` readings, then the whole chart painted: once just
// after more readings came in (what was read last is then out of the
// processor's caches) and again at once, then saved as a picture;
// milliseconds, the best of five each.
int paintChild(long rows)
{
    FrameFeed feed(true);
    long i = 1;
    for (; i <= rows; ++i)
        feed.append(i);
    QImage canvas(673, 481, QImage::Format_RGB32);
    const MainCore &core = feed.core();
    auto paint = [&] {
        QElapsedTimer t;
        t.start();
        QPainter p(&canvas);
        paintChart(p, canvas.size(), 1, core.chart, core.Picture4);
        return t.nsecsElapsed() / 1e6;
    };
    double cold = 1e9, warm = 1e9;
    for (int k = 0; k < 5; ++k) {
        for (long n = 0; n < 1000; ++n, ++i)
            feed.append(i);
        cold = std::min(cold, paint());
        warm = std::min(warm, paint());
    }
    QTemporaryDir scratch(QDir::current().filePath(QStringLiteral("tq800-bench-XXXXXX")));
    double save = 1e9;
    for (int k = 0; k < 5; ++k) {
        QElapsedTimer t;
        t.start();
        saveChart(scratch.filePath(QStringLiteral("chart.png")), canvas.size(), core.chart, core.Picture4);
        save = std::min(save, t.nsecsElapsed() / 1e6);
    }
    std::printf("%.3f %.3f %.3f\n", cold, warm, save);
    return 0;
}

struct Mark
{
    long rows;
    double bytesPerRow, medianUs, p99Us, worstMs, doublingMs, paintMs, rangeMs, saveMs, xls, xlsx, csv;
};

} // namespace

int main(int argc, char **argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    // Painting needs fonts and the window needs widgets; no screen is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 4 && args[1] == QLatin1String("--table"))
        return tableChild(args[2], args[3].toLong());
    if (args.size() >= 2 && args[1] == QLatin1String("--startup"))
        return startupChild(sinceStart);
    if (args.size() >= 3 && args[1] == QLatin1String("--store"))
        return storeChild(args[2].toLong());
    if (args.size() >= 3 && args[1] == QLatin1String("--burst"))
        return burstChild(args[2].toLong());
    if (args.size() >= 2 && args[1] == QLatin1String("--window"))
        return windowChild(marksFrom(args, 2));
    if (args.size() >= 3 && args[1] == QLatin1String("--shot"))
        return windowShotChild(args[2].toLong(), args.size() > 3 ? args[3].toDouble() : 0,
                               args.size() > 4 ? args[4] : QString());
    if (args.size() >= 3 && args[1] == QLatin1String("--paint"))
        return paintChild(args[2].toLong());
    if (args.size() >= 3 && args[1] == QLatin1String("--exports"))
        return exportsChild(args[2].toLong(), args.size() > 3 ? args[3] : QString());
    if (args.size() >= 2 && args[1] == QLatin1String("--qtcharts"))
        return qtChartsChild(marksFrom(args, 2));
    if (args.size() >= 4 && args[1] == QLatin1String("--store-make"))
        return storeMakeChild(args[2], args[3].toLong());
    if (args.size() >= 5 && args[1] == QLatin1String("--store-figure"))
        return storeFigureChild(args[2], args[3].toLongLong(), args[4]);

    long total = 1000000;
    bool cond = true;
    bool windowOnly = false;
    long storeRows = 0;
    QString storeDir;
    for (int a = 1; a < args.size(); ++a) {
        if (args[a] == QLatin1String("--rows") && a + 1 < args.size())
            total = args[++a].toLong();
        else if (args[a] == QLatin1String("--family") && a + 1 < args.size())
            cond = args[++a] != QLatin1String("ph");
        else if (args[a] == QLatin1String("--window-only"))
            windowOnly = true;
        else if (args[a] == QLatin1String("--store-rows") && a + 1 < args.size())
            storeRows = args[++a].toLong();
        else if (args[a] == QLatin1String("--store-dir") && a + 1 < args.size())
            storeDir = args[++a];
        else if (args[a] == QLatin1String("--help") || args[a] == QLatin1String("--version")) {
            std::printf("tq800-bench %s\nusage: tq800-bench [--rows N] [--family ph|cond] [--window-only]\n"
                        "       tq800-bench --store-rows N [--store-dir DIR]\n", TQ800_VERSION);
            return 0;
        }
    }
    if (storeRows > 0)
        return storeReadBench(storeRows, storeDir);
    std::vector<long> marks;
    for (long m : {1000L, 100000L, 1000000L, 10000000L})
        if (m < total)
            marks.push_back(m);
    marks.push_back(total);
    if (windowOnly) {
        printWindow(childLines(markArgs(QStringLiteral("--window"), marks)), {});
        return 0;
    }

    FrameFeed feed(cond);
    MainCore &core = feed.core();
    QTemporaryDir scratch(QDir::current().filePath(QStringLiteral("tq800-bench-XXXXXX")));
    QImage canvas(673, 481, QImage::Format_RGB32);

    // 1. The log grows; at each mark, the figures over the last thousand
    //    frames, then the whole-log operations.
    const long rssStart = residentBytes();
    std::vector<Mark> results;
    std::vector<double> last;
    last.reserve(1000);
    double worstUs = 0, doublingUs = 0;
    QElapsedTimer t;
    for (long i = 1; i <= total; ++i) {
        const qint64 timeBase = core.m.TimeBase;
        const double us = feed.append(i);
        if (us < 0) {
            std::fprintf(stderr, "row %ld was not appended\n", i);
            return 1;
        }
        worstUs = std::max(worstUs, us);
        if (core.m.TimeBase != timeBase)
            doublingUs = std::max(doublingUs, us);
        if (last.size() == 1000)
            last.clear();
        last.push_back(us);
        if (std::find(marks.begin(), marks.end(), i) == marks.end())
            continue;
        Mark m{};
        m.rows = i;
        m.bytesPerRow = double(residentBytes() - rssStart) / double(i);
        std::vector<double> w = last;
        std::sort(w.begin(), w.end());
        m.medianUs = w[w.size() / 2];
        m.p99Us = w[std::min(w.size() - 1, w.size() * 99 / 100)];
        m.worstMs = worstUs / 1000;
        m.doublingMs = doublingUs / 1000;
        t.start();
        {
            QPainter p(&canvas);
            paintChart(p, canvas.size(), 1, core.chart, core.Picture4);
        }
        m.paintMs = t.nsecsElapsed() / 1e6;
        if (cond) {
            t.start();
            core.Option1_Click(2);
            m.rangeMs = t.nsecsElapsed() / 1e6;
        }
        t.start();
        const QString saved = saveChart(scratch.filePath(QStringLiteral("chart.png")), canvas.size(), core.chart,
                                        core.Picture4);
        m.saveMs = saved.isEmpty() ? t.nsecsElapsed() / 1e6 : -1;
        const int lastRow = core.m.GridRow;
        m.xls = exportSeconds(*core.MSFlexGrid1, lastRow, scratch.filePath(QStringLiteral("log.xls")));
        m.xlsx = exportSeconds(*core.MSFlexGrid1, lastRow, scratch.filePath(QStringLiteral("log.xlsx")));
        m.csv = exportSeconds(*core.MSFlexGrid1, lastRow, scratch.filePath(QStringLiteral("log.csv")));
        results.push_back(m);
        std::fprintf(stderr, "%ld rows done\n", i);
    }

    // 2. The table alone, ours beside the classic design, at the same marks.
    std::vector<QList<double>> ours, classic;
    for (long rows : marks) {
        ours.push_back(child({QStringLiteral("--table"), QStringLiteral("ours"), QString::number(rows)}));
        classic.push_back(child({QStringLiteral("--table"), QStringLiteral("classic"), QString::number(rows)}));
    }

    // 3. The real window, and the Qt Charts peer.
    const auto window = childLines(markArgs(QStringLiteral("--window"), marks));
    const auto charts = childLines(markArgs(QStringLiteral("--qtcharts"), marks));

    // 4. Start-up to a shown window: the best of five, each a new process.
    double startupMs = 1e9;
    for (int k = 0; k < 5; ++k) {
        QElapsedTimer spawn;
        spawn.start();
        const QList<double> shown = child({QStringLiteral("--startup")});
        Q_UNUSED(shown)
        startupMs = std::min(startupMs, spawn.nsecsElapsed() / 1e6);
    }

    std::printf("TQ800 benchmark: %s log; %s, %d cores\n", cond ? "conductivity" : "pH", qPrintable(cpuName()),
                QThread::idealThreadCount());
    std::printf("\n%9s %7s | %9s %7s %8s %7s | %8s %8s %8s | %7s %7s %7s\n", "rows", "B/row", "median us",
                "p99 us", "worst ms", "dbl ms", "paint ms", "range ms", "save ms", "xls s", "xlsx s", "csv s");
    for (const Mark &m : results)
        std::printf("%9ld %7.1f | %9.2f %7.2f %8.2f %7.2f | %8.2f %8.2f %8.1f | %7.2f %7.2f %7.2f\n", m.rows,
                    m.bytesPerRow, m.medianUs, m.p99Us, m.worstMs, m.doublingMs, m.paintMs, m.rangeMs, m.saveMs,
                    m.xls, m.xlsx, m.csv);
    std::printf("\nthe table alone: ours against one QTableWidget item per cell (same highlight and growth)\n");
    std::printf("(each for at most a minute: where the items ran out of time, at the rows they reached)\n");
    std::printf("%9s %11s %11s %7s | %11s %11s %7s\n", "rows", "ours B/row", "items B/row", "ratio", "ours us",
                "items us", "ratio");
    for (std::size_t k = 0; k < marks.size(); ++k) {
        const QList<double> &o = ours[k], &c = classic[k];
        if (o.size() < 4 || c.size() < 4)
            continue;
        const QString reached = c[3] < marks[k] ? QStringLiteral(" (items: %1 rows)").arg(long(c[3])) : QString();
        std::printf("%9ld %11.1f %11.1f %7.1f | %11.2f %11.2f %7.1f%s\n", marks[k], o[0], c[0], c[0] / o[0], o[1],
                    c[1], c[1] / o[1], qPrintable(reached));
    }
    printWindow(window, charts);
    std::printf("\nstart-up to a shown window: %.0f ms (best of 5, new process each)\n", startupMs);

    // 4. The recordings store: its cost per row and on disk, and a burst.
    std::printf("\nthe recordings store (a reading a receive tick; median over the log)\n");
    std::printf("%9s %13s %13s %13s\n", "rows", "with us/row", "without", "disk B/row");
    for (long rows : {100000L, std::min(total, 1000000L)}) {
        const QList<double> s = child({QStringLiteral("--store"), QString::number(rows)});
        if (s.size() >= 3)
            std::printf("%9ld %13.2f %13.2f %13.1f\n", rows, s[0], s[1], s[2]);
    }
    const QList<double> burst = child({QStringLiteral("--burst"), QStringLiteral("50000")});
    if (burst.size() >= 2)
        std::printf("a burst of 50,000 readings, 100 a receive tick, store on: %.0f rows/s, longest tick %.1f ms\n",
                    burst[0], burst[1]);
    // Keep the data honest: a row from the middle reads back.
    std::printf("row %ld column 3 reads \"%s\"\n", total / 2,
                qPrintable(core.MSFlexGrid1->TextMatrix(int(total / 2), 3)));
    return 0;
}
