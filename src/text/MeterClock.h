#pragma once
#include <QDateTime>
#include <QStringView>

#include <optional>

// The meter's clock keeps month, day and time of day, but no year: a row of
// its memory says "12-31" and "23:59:58". The year is the latest one that
// puts the record no later than the moment it was downloaded, so records of
// 31 December downloaded on 2 January belong to the year before, and 29
// February goes back to the last leap year. A meter clock that runs ahead
// of the computer's (by up to kClockAheadSecs) still dates a record just
// taken to this year, not to the last.
namespace meterclock {

constexpr qint64 kClockAheadSecs = 24 * 3600;

// Month 1..12, day 1..31, the time of day; none for a date no year has.
std::optional<QDateTime> recordTime(int month, int day, QTime time, const QDateTime &downloaded);

// The same from the table's date and time cells ("12-31", "23:59:58").
std::optional<QDateTime> recordTime(QStringView dateCell, QStringView timeCell, const QDateTime &downloaded);

// ISO 8601 in the computer's time zone, with its offset and milliseconds:
// "2026-12-31T23:59:58.000+01:00".
QString isoWithOffset(const QDateTime &t);

} // namespace meterclock
