// Logging cost at scale: bytes per table row and the time to append one row
// (receive tick: cut the frame, decode it, derive, write the cells, move the
// highlight, grow and scroll the table, draw the chart's segment) from the
// first row to the millionth; at each mark also the worst frame so far (the
// ones that double the time base and redraw the whole log), a range change
// redrawing the whole log, and painting the chart at its window size. With
// --export, the whole table is then written as .xls, .xlsx and .csv into
// FOLDER: the time and the memory the export needs beyond the table.
//
//   tq800-bench [--rows N] [--family ph|cond] [--export FOLDER]
#include "chart/ChartPainter.h"
#include "shell/MainCore.h"
#include "shell/SerialLink.h"
#include "shell/UiPrompts.h"
#include "table/ExportWriters.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

class NoLink : public SerialLink
{
public:
    bool open(const QString &) override { return false; }
    void close() override {}
    bool isOpen() const override { return false; }
    QByteArray readAll() override { return {}; }
    void write(const QByteArray &) override {}
    QString device() const override { return {}; }
};

class NoPrompts : public UiPrompts
{
public:
    void MsgBox(const QString &, Icon, const QString & = QString()) override {}
};

long residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4096;
}

// A field of /proc/self/status in bytes (VmRSS, VmHWM).
long statusBytes(const std::string &field)
{
    std::ifstream status("/proc/self/status");
    std::string key;
    long kb = 0;
    while (status >> key) {
        if (key == field + ":") {
            status >> kb;
            return kb * 1024;
        }
    }
    return 0;
}

// Each format in turn: the time, the peak memory beyond what the process
// held before (the table), and the file's size.
void benchExport(const FlexGrid &grid, int lastRow, const QString &folder)
{
    for (const char *suffix : {"xls", "xlsx", "csv"}) {
        const QString file = QDir(folder).filePath(QStringLiteral("bench.%1").arg(QLatin1String(suffix)));
        std::ofstream("/proc/self/clear_refs") << "5";   // restart the peak at the present size
        const long before = statusBytes("VmRSS");
        QElapsedTimer t;
        t.start();
        const QString error = exportTable(file, grid.exportSource(lastRow));
        const double seconds = t.nsecsElapsed() / 1e9;
        const double peakMb = double(statusBytes("VmHWM") - before) / 1e6;
        if (!error.isEmpty()) {
            std::printf("export .%s failed: %s\n", suffix, qPrintable(error));
            continue;
        }
        std::printf("export .%-4s %8d rows %8.2f s %8.1f MB beyond the table %8.1f MB file\n", suffix, lastRow - 1,
                    seconds, peakMb, double(QFileInfo(file).size()) / 1e6);
        std::fflush(stdout);
    }
}

QString hex4(int v) { return QStringLiteral("%1").arg(v & 0xffff, 4, 16, QLatin1Char('0')).toUpper(); }

// A reading with the clock running one second per row and a drifting value.
QString reading(long i, bool cond)
{
    const int second = int(i % 60), minute = int(i / 60 % 60), hour = int(i / 3600 % 24);
    const int day = 1 + int(i / 86400 % 28), month = 1 + int(i / (86400 * 28) % 12);
    const int mode = cond ? 9 : 1;
    const int w1 = mode << 12 | 3 << 10 | month << 6 | second;
    const int w2 = day << 11 | hour << 6 | minute;
    const int value = cond ? 1400 + int(i % 37) : 7000 + int(i % 41) - 20;
    const int temp = (cond ? 10 << 12 : 0) | (750 + int(i % 11) - 5);
    return QStringLiteral("<D") + hex4(w1) + hex4(w2) + hex4(value) + hex4(temp) + QLatin1Char('>');
}

} // namespace

int main(int argc, char **argv)
{
    // Painting needs fonts, hence a GUI application; no screen is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    long total = 1000000;
    bool cond = true;
    QString exportFolder;
    for (int a = 1; a < argc; ++a) {
        const QString arg = QString::fromLocal8Bit(argv[a]);
        if (arg == QLatin1String("--rows") && a + 1 < argc)
            total = std::atol(argv[++a]);
        else if (arg == QLatin1String("--family") && a + 1 < argc)
            cond = QString::fromLocal8Bit(argv[++a]) != QLatin1String("ph");
        else if (arg == QLatin1String("--export") && a + 1 < argc)
            exportFolder = QString::fromLocal8Bit(argv[++a]);
    }

    NoLink link;
    NoPrompts prompts;
    MainCore core(&link, &prompts);
    core.Form_Load();
    core.Timer1.stop();
    if (cond) {   // a conductivity meter: 25 degC reference, 2 %/degC
        core.m.RxBuffer = QStringLiteral("<Q600028FA08C803E8>");
        core.Timer1_Timer();
    }
    core.cmdClear_Click();
    core.Timer2.stop();

    const long rssStart = residentBytes();
    std::printf("family %s, %ld rows\n", cond ? "COND" : "pH", total);
    std::printf("%10s %10s %10s %10s %10s %10s %10s %14s %10s %10s\n", "rows", "store B/r", "chart B/r",
                "RSS B/r", "median us", "p99 us", "max us", "worst ms (row)", "range ms", "paint ms");
    double worst = 0;
    long worstRow = 0;
    QImage canvas(673, 481, QImage::Format_RGB32);

    std::vector<double> window;
    window.reserve(1000);
    QElapsedTimer t;
    const long marks[] = {1000, 10000, 100000, 1000000, 10000000};
    for (long i = 1; i <= total; ++i) {
        core.m.RxBuffer = reading(i, cond);
        t.start();
        core.Timer1_Timer();
        const double us = t.nsecsElapsed() / 1000.0;
        window.push_back(us);
        if (us > worst) {
            worst = us;
            worstRow = i;
        }
        if (core.m.GridRow != i + 1) {
            std::fprintf(stderr, "row %ld was not appended\n", i);
            return 1;
        }
        const bool mark = std::find(std::begin(marks), std::end(marks), i) != std::end(marks) || i == total;
        if (window.size() == 1000 || mark) {
            if (mark) {
                // Figures over the last 1000 appends before this row count.
                std::vector<double> w = window;
                std::sort(w.begin(), w.end());
                const double median = w[w.size() / 2];
                const double p99 = w[std::min(w.size() - 1, w.size() * 99 / 100)];
                const double store = double(core.MSFlexGrid1->memoryBytes()) / double(i);
                const double chart = double(core.chartMemoryBytes()) / double(i);
                const double rss = double(residentBytes() - rssStart) / double(i);
                // A range change redraws the whole log (conductivity only).
                double rangeMs = 0;
                if (cond) {
                    t.start();
                    core.Option1_Click(2);
                    rangeMs = t.nsecsElapsed() / 1e6;
                }
                t.start();
                {
                    QPainter p(&canvas);
                    paintChart(p, canvas.size(), 1, core.chart, core.Picture4);
                }
                const double paintMs = t.nsecsElapsed() / 1e6;
                std::printf("%10ld %10.1f %10.1f %10.1f %10.2f %10.2f %10.2f %6.2f (%5ld) %10.2f %10.2f\n", i, store,
                            chart, rss, median, p99, w.back(), worst / 1000, worstRow, rangeMs, paintMs);
                std::fflush(stdout);
            }
            window.clear();
        }
    }
    // Keep the data honest: a row from the middle reads back.
    const QString sample = core.MSFlexGrid1->TextMatrix(int(total / 2), 3);
    std::printf("row %ld column 3 reads \"%s\"\n", total / 2, qPrintable(sample));
    if (!exportFolder.isEmpty())
        benchExport(*core.MSFlexGrid1, core.m.GridRow, exportFolder);
    return 0;
}
