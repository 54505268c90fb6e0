#include "text/MeterClock.h"

#include <QStringList>

namespace meterclock {

namespace {

// How far back a date can lie: 29 February waits up to eight years (2096
// to 2104, 2100 being no leap year).
constexpr int kYearsBack = 8;

int number(QStringView text, bool *ok)
{
    bool good = !text.isEmpty();
    for (QChar c : text)
        good = good && c >= u'0' && c <= u'9';
    *ok = good && text.size() <= 4;
    return *ok ? text.toInt() : 0;
}

} // namespace

std::optional<QDateTime> recordTime(int month, int day, QTime time, const QDateTime &downloaded)
{
    if (!time.isValid() || !downloaded.isValid())
        return std::nullopt;
    const QDateTime latest = downloaded.addSecs(kClockAheadSecs);
    for (int year = latest.date().year(); year >= latest.date().year() - kYearsBack; --year) {
        const QDate date(year, month, day);
        if (!date.isValid())
            continue;
        // In the download's own time (the computer's local time).
        const Qt::TimeSpec zone = downloaded.timeSpec();
        const QDateTime t(date, time, zone, zone == Qt::OffsetFromUTC ? downloaded.offsetFromUtc() : 0);
        if (t.isValid() && t <= latest)
            return t;
    }
    return std::nullopt;
}

std::optional<QDateTime> recordTime(QStringView dateCell, QStringView timeCell, const QDateTime &downloaded)
{
    const QList<QStringView> d = dateCell.trimmed().split(u'-');
    const QList<QStringView> t = timeCell.trimmed().split(u':');
    if (d.size() != 2 || t.size() != 3)
        return std::nullopt;
    bool ok[5];
    const int month = number(d[0], &ok[0]), day = number(d[1], &ok[1]);
    const QTime time(number(t[0], &ok[2]), number(t[1], &ok[3]), number(t[2], &ok[4]));
    for (bool b : ok)
        if (!b)
            return std::nullopt;
    return recordTime(month, day, time, downloaded);
}

QString isoWithOffset(const QDateTime &t)
{
    return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

} // namespace meterclock
