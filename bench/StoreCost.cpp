#include "StoreCost.h"

#include "FrameFeed.h"

#include "record/RecordStore.h"
#include "record/Recorder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

// Median microseconds a row over `rows` readings, with a recorder or not.
double medianUs(long rows, const QString &folder, qint64 *bytes)
{
    FrameFeed feed(true);
    std::unique_ptr<Recorder> rec;
    if (!folder.isEmpty())
        rec = std::make_unique<Recorder>(feed.core(), folder);
    std::vector<float> us;
    us.reserve(std::size_t(rows));
    for (long i = 1; i <= rows; ++i) {
        const double t = feed.append(i);
        if (t < 0)
            return -1;
        us.push_back(float(t));
    }
    if (rec) {
        rec->flush();
        rec->store().checkpoint();
        rec.reset();
        *bytes = 0;
        for (const QFileInfo &f : QDir(folder).entryInfoList(QDir::Files))
            *bytes += f.size();
    }
    std::nth_element(us.begin(), us.begin() + long(us.size() / 2), us.end());
    return us[us.size() / 2];
}

} // namespace

int storeChild(long rows)
{
    QTemporaryDir dir(QDir::current().filePath(QStringLiteral("tq800-bench-store-XXXXXX")));
    qint64 bytes = 0;
    const double with = medianUs(rows, dir.path(), &bytes);
    const double without = medianUs(rows, QString(), nullptr);
    std::printf("%.2f %.2f %.1f\n", with, without, double(bytes) / double(rows));
    return with < 0 || without < 0;
}

int burstChild(long rows)
{
    constexpr int kPerTick = 100;
    QTemporaryDir dir(QDir::current().filePath(QStringLiteral("tq800-bench-store-XXXXXX")));
    FrameFeed feed(true);
    Recorder rec(feed.core(), dir.path());
    double worstMs = 0;
    QElapsedTimer all;
    all.start();
    for (long first = 1; first <= rows; first += kPerTick) {
        const double us = feed.appendMany(first, int(std::min<long>(kPerTick, rows - first + 1)));
        if (us < 0)
            return 1;
        worstMs = std::max(worstMs, us / 1000);
    }
    const double seconds = all.nsecsElapsed() / 1e9;
    std::printf("%.0f %.2f\n", double(rows) / seconds, worstMs);
    return 0;
}
