#include "record/EndFromRun.h"

#include "record/EndHow.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdlib>
#include <optional>

namespace {

// The two clocks are read together, so one run's difference wavers by a
// millisecond or two; two runs on one port began further apart than this.
constexpr qint64 kSameRunMs = 250;

// An event's place on the computer's clock and on its run's.
struct Moment
{
    qint64 wallMs = 0, monoMs = 0;
    qint64 runBegan() const { return wallMs - monoMs; }
};

std::optional<Moment> momentOf(const QJsonObject &e)
{
    const QDateTime t = QDateTime::fromString(e.value(QStringLiteral("utc")).toString(), Qt::ISODateWithMs);
    const QJsonValue mono = e.value(QStringLiteral("mono_ms"));
    if (!t.isValid() || !mono.isDouble())
        return std::nullopt;
    return Moment{t.toMSecsSinceEpoch(), mono.toInteger()};
}

// Later recordings from the same host, user and port, with their first
// entry, that are not the first of their run: that one carries the run's
// "start" among its first entries (after its begin and the settings in
// force).
const char kLater[] = "SELECT r.started, b.body FROM recording r JOIN entry b ON b.recording = r.id AND b.seq = 1 "
                      "WHERE r.id > ?1 AND r.host IS ?2 AND r.os_user IS ?3 AND r.device IS ?4 "
                      "AND NOT EXISTS (SELECT 1 FROM entry s WHERE s.recording = r.id AND s.seq <= 10 "
                      "AND s.kind = 'event' AND json_extract(s.body, '$.event') = 'start') ORDER BY r.id";

} // namespace

bool readEndFromRun(SqliteDb &db, RecordingInfo &rec)
{
    SqliteStatement later(db, kLater);
    later.bind(1, rec.id).bind(2, rec.host).bind(3, rec.user).bind(4, rec.device);
    std::optional<Moment> last;
    bool lastRead = false;
    while (later.step()) {
        if (!lastRead) {
            // The recording's last event of its run: rows carry no run
            // clock, and a file made of it later ("by" someone) is not of
            // its run.
            lastRead = true;
            SqliteStatement s(db, "SELECT body FROM entry WHERE recording = ? AND kind = 'event' "
                                  "AND json_extract(body, '$.by') IS NULL ORDER BY seq DESC LIMIT 1");
            s.bind(1, rec.id);
            if (s.step())
                last = momentOf(QJsonDocument::fromJson(s.text(0).toUtf8()).object());
            else if (s.failed())
                return false;
        }
        if (!last)
            return true;
        const QJsonObject begin = QJsonDocument::fromJson(later.text(1).toUtf8()).object();
        if (begin.value(QStringLiteral("event")).toString() != QLatin1String("begin"))
            continue;
        const std::optional<Moment> began = momentOf(begin);
        if (began && std::abs(began->runBegan() - last->runBegan()) <= kSameRunMs && began->monoMs >= last->monoMs) {
            rec.ended = later.text(0);
            rec.endedHow = endhow::forCause(begin.value(QStringLiteral("cause")).toString());
            rec.endInferred = true;
            return true;
        }
    }
    return !later.failed();
}
