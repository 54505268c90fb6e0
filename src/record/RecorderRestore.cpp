// The Recorder's stored recordings: those a crash left unfinished, closing
// one, and restoring one into the table, in batches with progress, so that
// the window stays responsive and the user can cancel.
#include "record/EndHow.h"
#include "record/LiveLock.h"
#include "record/RecordIdentity.h"
#include "record/Recorder.h"
#include "record/Replay.h"
#include "record/StoredRows.h"
#include "shell/MainCore.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>

#include <map>

namespace {

// Rows put into the table between two looks at the progress: a few
// milliseconds of work.
constexpr int kBatchRows = 2048;
// How often the progress is asked (and the event loop may run).
constexpr qint64 kPaceMs = 40;

// Thrown out of the chain's walk (from its per-entry callback, where no
// SQLite call is on the stack) when the user cancels: the walk has no other
// way to stop early, and its readers are all released on the way out.
struct Cancelled
{
};

// Asks the progress at most every kPaceMs; false once it answers false or
// the program ended meanwhile (a signal, the window closed).
class Pace
{
public:
    Pace(const Recorder::Progress &progress, qint64 total, const bool &over)
        : progress_(progress), total_(total), over_(over)
    {
        timer_.start();
    }
    // The first look of each step asks at once: the dialog says what is
    // going on as soon as there is something to say.
    void step() { asked_ = false; }
    bool ok(qint64 done)
    {
        if (!progress_ || (asked_ && timer_.elapsed() < kPaceMs))
            return !over_;
        asked_ = true;
        timer_.restart();
        return progress_(qMin(done, total_), total_) && !over_;
    }
    void done()
    {
        if (progress_)
            progress_(total_, total_);
    }

private:
    const Recorder::Progress &progress_;
    qint64 total_;
    const bool &over_;
    bool asked_ = false;
    QElapsedTimer timer_;
};

// A row body's cells, as the table shows them.
void cellsOf(const QByteArray &body, std::array<QString, 8> &cells)
{
    const QJsonArray a = QJsonDocument::fromJson(body).object().value(QStringLiteral("cells")).toArray();
    for (int c = 0; c < 8; ++c)
        cells[std::size_t(c)] = c < a.size() ? a[c].toString() : QString();
}

} // namespace

// What this window has logged in the recording being written: its entries
// as stored, and whether they can go on after a restored recording's rows
// (the same columns, every row of the table in the store).
struct Recorder::Session
{
    QList<hashchain::Entry> entries;
    int rows = 0;
    bool movable = false;
    bool drawsChart = true;
    QJsonObject settings;       // the settings in force, to decode again
    qint64 settingsSeq = 0;
    QString uuid;
    qint64 id = 0;
    // The core's own state that a restore's settings frame changes, for a
    // cancel to put back.
    Module1 m;
    SettingsPanel panel;
    LcdMirror lcd;
    QString caption;
};

QList<RecordingInfo> Recorder::unfinished()
{
    QList<RecordingInfo> out;
    if (!store_.isOpen() && !store_.open(folder_))
        return out;
    const QList<RecordingInfo> all = store_.list();
    if (store_.readFailed())
        emit storeFailed(QStringLiteral("The recordings in %1 could not be read: %2.").arg(folder_, store_.error()));
    for (const RecordingInfo &r : all)
        if (r.endedHow.isEmpty() && r.rows > 0 && r.uuid != rec_.uuid && !LiveLock::isLive(folder_, r.uuid))
            out << r;
    return out;
}

QString Recorder::closeRecording(qint64 id)
{
    auto r = store_.recording(id);
    if (!r)
        return store_.readFailed() ? store_.error() : QStringLiteral("there is no recording %1").arg(id);
    if (!r->endedHow.isEmpty())
        return QStringLiteral("recording %1 has ended (%2)").arg(id).arg(r->endedHow);
    if (LiveLock::isLive(folder_, r->uuid))
        return QStringLiteral("recording %1 is being written by another program").arg(id);
    // Its end goes into its chain, as any other end does.
    const QDateTime t = now();
    const QByteArray body = compact(stamped(QStringLiteral("end"),
                                            {{QStringLiteral("how"), QLatin1String(endhow::kClosed)},
                                             {QStringLiteral("rows"), r->rows},
                                             {QStringLiteral("by"), identity::actor()}},
                                            t));
    const hashchain::Entry e{r->entries + 1, QStringLiteral("event"), body, {}};
    r->ended = iso(t);
    r->endedHow = QLatin1String(endhow::kClosed);
    if (!store_.commit(*r, {e}, 0, e.seq - 1))
        return store_.error();
    dirty_ = true;
    emit written();
    return {};
}

Recorder::Session Recorder::sessionSoFar(const QStringList &header)
{
    Session s;
    s.m = core_.m;
    s.panel = core_.panel;
    s.lcd = core_.lcd;
    s.caption = core_.Caption;
    s.settings = settingsInForce_;
    s.settingsSeq = settingsSeq_;
    if (!active_ || rec_.id == 0)
        return s;
    s.uuid = rec_.uuid;
    s.id = rec_.id;
    const bool read = store_.forEachEntry(rec_.id, QString(), [&s](const hashchain::Entry &e) {
        s.entries << e;
        if (e.kind == QLatin1String("row"))
            ++s.rows;
        else if (e.seq == 1)
            s.drawsChart = QJsonDocument::fromJson(e.body).object().value(QStringLiteral("cause")).toString()
                != QLatin1String("frame S");
        return true;
    });
    QStringList shown;
    for (int c = 0; c < FlexGrid::kCols; ++c)
        shown << core_.MSFlexGrid1->TextMatrix(0, c);
    s.movable = read && s.rows > 0 && s.rows == core_.m.GridRow - 1 && shown == header;
    return s;
}

// The table as it was before the restore began: the session's rows again.
void Recorder::restoreTable(const Session &session)
{
    core_.m = session.m;
    core_.panel = session.panel;
    core_.Caption = session.caption;
    core_.beginReload();
    int i = 0;
    core_.reloadRows(
        session.rows,
        [&](int, std::array<QString, 8> &cells) {
            while (session.entries[i].kind != QLatin1String("row"))
                ++i;
            cellsOf(session.entries[i++].body, cells);
        },
        session.drawsChart);
    core_.endReload();
    core_.lcd = session.lcd;
}

QJsonObject Recorder::gapEvent(const RecordingInfo &info, const QDateTime &resumed)
{
    // From the last stored row (when it was received) to where the logging
    // resumed: the length is what a reader of the chain wants at once.
    QJsonObject fields{{QStringLiteral("row"), info.rows + 1}, {QStringLiteral("to"), iso(resumed)}};
    SqliteStatement last(store_.db(), "SELECT body FROM entry WHERE recording = ? AND kind = 'row' "
                                      "ORDER BY seq DESC LIMIT 1");
    last.bind(1, info.id);
    QDateTime from;
    if (last.step()) {
        const QJsonObject row = QJsonDocument::fromJson(last.blob(0)).object();
        from = QDateTime::fromString(row.value(QStringLiteral("received")).toString(), Qt::ISODateWithMs);
    }
    fields.insert(QStringLiteral("from"), from.isValid() ? QJsonValue(iso(from)) : QJsonValue());
    fields.insert(QStringLiteral("seconds"),
                  from.isValid() ? QJsonValue(double(from.msecsTo(resumed)) / 1000.0) : QJsonValue());
    return fields;
}

QString Recorder::restore(qint64 id, const Progress &progress, bool *cancelled)
{
    if (cancelled)
        *cancelled = false;
    if (restoring_)
        return QStringLiteral("a restore is under way");
    if (exited_)
        return QStringLiteral("the program is ending");
    if (!store_.isOpen() && !store_.open(folder_))
        return store_.error();
    const auto found = store_.recording(id);
    if (!found)
        return store_.readFailed() ? store_.error() : QStringLiteral("there is no recording %1").arg(id);
    const RecordingInfo info = *found;
    if (!info.endedHow.isEmpty())
        return QStringLiteral("recording %1 has ended (%2)").arg(id).arg(info.endedHow);
    if (LiveLock::isLive(folder_, info.uuid))
        return QStringLiteral("recording %1 is being written by another program").arg(id);
    // What this window logged since it started goes after the restored
    // rows, read back from the store: it must be there.
    flush();
    if (heldEntries() > 0)
        return QStringLiteral("the recordings store has not yet taken what was logged since the start (%1); "
                              "try again when it has")
            .arg(store_.error());

    // 1. Read before anything changes: a recording the store cannot give
    //    back whole is not restored (its chain says where the damage
    //    begins). The walk asks the progress on the way.
    Pace pace(progress, info.entries + info.rows, exited_);
    hashchain::Verdict v;
    try {
        qint64 seen = 0;
        v = store_.verify(info, [&](const hashchain::Entry &) {
            if ((++seen & 255) == 0 && !pace.ok(seen))
                throw Cancelled{};
        });
    } catch (const Cancelled &) {
        if (cancelled)
            *cancelled = true;
        pace.done();
        return {};
    }
    if (v.kind == hashchain::Verdict::Kind::Unreadable)
        return QStringLiteral("recording %1 cannot be restored: %2").arg(id).arg(v.text());
    StoredRows stored(store_, info);
    if (!stored.error().isEmpty())
        return stored.error();
    const Session session = sessionSoFar(stored.header());

    // 2. The table: the restored rows in batches, the session's after them
    //    across a hole in the chart. What the port brings meanwhile waits.
    restoring_ = true;
    core_.holdReceive(true);
    replay::settings(core_, session.movable && !session.settings.isEmpty() ? session.settings : stored.lastSettings());
    std::vector<int> gaps = stored.gaps();
    gaps.push_back(int(info.rows) + 1);
    replay::begin(core_, gaps);
    const bool draws = replay::drawsChart(stored);
    bool stop = false;
    pace.step();
    for (qint64 done = 0; done < info.rows && !stop && stored.error().isEmpty();) {
        const int n = int(qMin<qint64>(kBatchRows, info.rows - done));
        core_.reloadRows(n, [&stored](int row, std::array<QString, 8> &cells) { stored.row(row, cells); }, draws);
        done += n;
        stop = !pace.ok(info.entries + done);
    }
    const QString error = stored.error().isEmpty() ? stored.missing() : stored.error();
    if (stop || !error.isEmpty()) {
        // Cancelled (or the store failed on the way): back as it was.
        if (!exited_)
            restoreTable(session);
        core_.holdReceive(false);
        restoring_ = false;
        pace.done();
        if (cancelled)
            *cancelled = error.isEmpty();
        return error;
    }
    if (session.movable) {
        // Numbered on from the restored rows, as they now stand.
        int i = 0;
        core_.reloadRows(
            session.rows,
            [&](int row, std::array<QString, 8> &cells) {
                while (session.entries[i].kind != QLatin1String("row"))
                    ++i;
                cellsOf(session.entries[i++].body, cells);
                cells[0] = QString::number(row);
            },
            draws);
    }
    core_.endReload();
    replay::range(core_, info);
    restoring_ = false;

    // 3. The display as it was left, unless the session's own readings
    //    stand on it now (the row count is the whole table's).
    if (session.movable) {
        const QString count = core_.lcd.lblLCD[10].Caption;
        core_.lcd = session.lcd;
        core_.lcd.lblLCD[10].Caption = count;
        core_.Caption = session.caption;
    } else {
        const QJsonObject d = QJsonDocument::fromJson(info.display.toUtf8()).object();
        const QJsonArray lcd = d.value(QStringLiteral("lcd")).toArray();
        for (int i = 0; i < lcd.size() && i < int(core_.lcd.lblLCD.size()); ++i)
            core_.lcd.lblLCD[std::size_t(i)].Caption = lcd[i].toString();
        const QJsonArray shapes = d.value(QStringLiteral("shapes")).toArray();
        for (int i = 0; i < shapes.size() && i < int(core_.lcd.Shape1.size()); ++i)
            core_.lcd.Shape1[std::size_t(i)] = shapes[i].toBool();
        if (d.contains(QStringLiteral("caption")))
            core_.Caption = d.value(QStringLiteral("caption")).toString();
        if (!d.value(QStringLiteral("model")).toString().isEmpty()) {
            core_.m.ModelCode = d.value(QStringLiteral("model")).toString();
            core_.m.ModelPrefix = core_.m.ModelCode.toString().left(2);
        }
    }
    core_.m.RxBuffer = session.m.RxBuffer;   // what had come and was not yet a frame

    // 4. The recording.
    adopt(info, stored, session);
    core_.holdReceive(false);
    pace.done();
    emit core_.changed();
    return {};
}

void Recorder::adopt(const RecordingInfo &info, StoredRows &stored, const Session &session)
{
    // What was being recorded ends here, naming the recording that takes
    // its place (and how many of its rows went on there).
    QJsonObject ending{{QStringLiteral("restored"), info.uuid}, {QStringLiteral("restored_id"), info.id}};
    if (session.movable)
        ending.insert(QStringLiteral("rows_moved"), session.rows);
    end(endhow::kRestore, ending);
    flush();

    rec_ = info;
    lock_.acquire(folder_, rec_.uuid);
    active_ = true;
    pending_.clear();
    nextSeq_ = info.entries + 1;
    settingsInForce_ = stored.lastSettings().isEmpty() ? session.settings : stored.lastSettings();
    settingsSeq_ = stored.lastSettingsSeq();

    // 1. The hole: from the last stored row to where the logging resumed,
    //    this run's start when the rows since then come with it.
    event(QStringLiteral("gap"), gapEvent(info, session.movable ? runStarted_ : now()));
    // 2. What this run said before anything was logged.
    for (const QJsonObject &e : std::exchange(carried_, {}))
        append(QStringLiteral("event"), e);
    // 3. The session's entries, as they were written, renumbered: rows
    //    follow on from the restored ones, and name the settings in force
    //    by their new place in this chain.
    if (session.movable) {
        std::map<qint64, qint64> seqOf;
        int row = int(info.rows);
        for (const hashchain::Entry &e : session.entries) {
            if (e.kind != QLatin1String("row")) {
                const QJsonObject o = QJsonDocument::fromJson(e.body).object();
                if (o.value(QStringLiteral("event")).toString() == QLatin1String("begin"))
                    continue;
                seqOf[e.seq] = nextSeq_;
                appendBody(e.kind, e.body);
                continue;
            }
            QJsonObject o = QJsonDocument::fromJson(e.body).object();
            o.insert(QStringLiteral("row"), ++row);
            QJsonArray cells = o.value(QStringLiteral("cells")).toArray();
            if (!cells.isEmpty())
                cells[0] = QString::number(row);
            o.insert(QStringLiteral("cells"), cells);
            if (o.value(QStringLiteral("settings")).isDouble()) {
                const auto s = seqOf.find(o.value(QStringLiteral("settings")).toInteger());
                o.insert(QStringLiteral("settings"), s != seqOf.end() ? QJsonValue(s->second) : QJsonValue(settingsSeq_));
            }
            seqOf[e.seq] = nextSeq_;
            append(QStringLiteral("row"), o);
        }
        if (const auto s = seqOf.find(session.settingsSeq); s != seqOf.end()) {
            settingsSeq_ = s->second;
            settingsInForce_ = session.settings;
        }
    }
    QJsonObject restored{{QStringLiteral("rows"), info.rows}, {QStringLiteral("by"), identity::actor()}};
    if (session.movable) {
        restored.insert(QStringLiteral("moved_from"), session.uuid);
        restored.insert(QStringLiteral("rows_moved"), session.rows);
    }
    event(QStringLiteral("restored"), restored);
    sampleInForce();
    flush();
}
