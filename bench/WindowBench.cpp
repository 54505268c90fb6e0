#include "WindowBench.h"

#include "FrameFeed.h"
#include "TableDesigns.h"

#include "shell/MainCore.h"
#include "shell/frmMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRadioButton>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// The window shown, on a conductivity meter (the range buttons show),
// cleared, its timers stopped: readings come only as the caller feeds them.
MainCore &showOnConductivityMeter(frmMain &w)
{
    w.show();
    while (!w.windowHandle() || !w.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    MainCore &core = w.core();
    core.Timer1.stop();
    core.Timer2.stop();
    core.m.RxBuffer = QStringLiteral("<Q600028FA08C803E8>");
    core.Timer1_Timer();
    core.cmdClear_Click();
    core.Timer2.stop();
    return core;
}

} // namespace

int windowChild(const std::vector<long> &marks)
{
    constexpr long kMeasured = 200;
    frmMain w;
    MainCore &core = showOnConductivityMeter(w);
    settle();
    const long rssStart = residentBytes();
    QList<QRadioButton *> ranges = w.findChildren<QRadioButton *>();
    std::sort(ranges.begin(), ranges.end(),
              [](QRadioButton *a, QRadioButton *b) { return a->objectName() < b->objectName(); });
    long row = 0;
    for (long mark : marks) {
        // Up to the stretch measured, as fast as it goes: the window lays
        // out and paints every few thousand readings (what waits for the
        // next paint, as the chart's new segments, must not pile up).
        while (row < mark - kMeasured) {
            core.m.RxBuffer = readingFrame(++row, true);
            core.Timer1_Timer();
            if (row % 4096 == 0)
                settle();
        }
        settle();
        const double cpu0 = cpuMs();
        QElapsedTimer wall;
        wall.start();
        const long first = row;
        while (row < mark) {
            core.m.RxBuffer = readingFrame(++row, true);
            core.Timer1_Timer();
            settle();
        }
        const double n = double(row - first);
        const double cpuPer = (cpuMs() - cpu0) / n, wallPer = wall.nsecsElapsed() / 1e6 / n;
        std::vector<double> clicks;
        for (int k = 0; k < 5 && ranges.size() >= 3; ++k) {
            QRadioButton *b = ranges[k % 2 ? 1 : 2];
            QElapsedTimer t;
            t.start();
            b->click();
            settle();
            clicks.push_back(t.nsecsElapsed() / 1e6);
        }
        std::sort(clicks.begin(), clicks.end());
        const double click = clicks.empty() ? -1 : clicks[clicks.size() / 2];
        std::printf("%ld %.4f %.4f %.3f %.1f\n", row, cpuPer, wallPer, click,
                    double(residentBytes() - rssStart) / double(row));
        std::fflush(stdout);
    }
    return 0;
}

int windowShotChild(long rows, double seconds, const QString &png)
{
    frmMain w;
    MainCore &core = showOnConductivityMeter(w);
    for (long row = 1; row <= rows; ++row) {
        core.m.RxBuffer = readingFrame(row, true);
        core.Timer1_Timer();
    }
    settle();
    if (!png.isEmpty())
        w.grab().save(png);
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < seconds * 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return 0;
}
