#include "FrameFeed.h"

#include <QElapsedTimer>

namespace {

QString hex4(int v) { return QStringLiteral("%1").arg(v & 0xffff, 4, 16, QLatin1Char('0')).toUpper(); }

} // namespace

QString readingFrame(long i, bool cond)
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

FrameFeed::FrameFeed(bool conductivity) : cond_(conductivity)
{
    core_.Form_Load();
    core_.Timer1.stop();
    settingsAndClear();
}

void FrameFeed::settingsAndClear()
{
    if (cond_) {   // a conductivity meter: 25 degC reference, 2 %/degC
        core_.m.RxBuffer = QStringLiteral("<Q600028FA08C803E8>");
        core_.Timer1_Timer();
    }
    core_.cmdClear_Click();
    core_.Timer2.stop();
}

double FrameFeed::appendMany(long first, int n)
{
    QString frames;
    for (long i = first; i < first + n; ++i)
        frames += readingFrame(i, cond_);
    core_.m.RxBuffer = frames;
    QElapsedTimer t;
    t.start();
    core_.Timer1_Timer();
    const double us = t.nsecsElapsed() / 1000.0;
    return core_.m.GridRow == first + n ? us : -1;
}

double FrameFeed::append(long row)
{
    core_.m.RxBuffer = readingFrame(row, cond_);
    QElapsedTimer t;
    t.start();
    core_.Timer1_Timer();
    const double us = t.nsecsElapsed() / 1000.0;
    return core_.m.GridRow == row + 1 ? us : -1;
}
