#pragma once
#include "record/Annotations.h"
#include "record/AnchoredFile.h"
#include "record/LiveLock.h"
#include "record/RecordStore.h"

#include <QDateTime>

#include <QElapsedTimer>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class MainCore;
class StoredRows;

// Keeps the session's account in the recordings store: every completed row
// and every event worth an audit (program start and exit, ports, model and
// settings frames, Clear, ranges, exports, downloads, store trouble, clock
// jumps), each recording from where the table is laid out anew to where it
// ends: Clear, Export, Exit, a model frame, a settings frame that lays a new
// table out, a download, a restore in its place. How it ended is the last
// entry of its chain (the event "end"); only a crash or a power cut leaves a
// recording without one. It only listens to the core; nothing in the core
// knows it exists.
//
// Rows and events of one receive tick go to the disk in one transaction
// (RecorderWrite.cpp). When the disk refuses (full, read-only, gone), the
// rows are held in order in memory, the trouble is told once with its reason
// and recorded, and the store is tried again every few seconds; the held rows
// go in when it can. Another program holding the database for a moment only
// delays them to the next tick. What the store still has not taken at the
// end goes to a fallback store in another folder (rescue()). A store whose
// file goes away while open (removed, replaced, its folder gone) is made
// again where it was, and what the last second wrote to the gone file is
// written again into it.
// A recording is created on disk with its first row: a Clear that logged
// nothing leaves no empty recording behind, and its events go on into the
// next one.
class Recorder : public QObject
{
    Q_OBJECT
public:
    Recorder(MainCore &core, const QString &folder, QObject *parent = nullptr);
    ~Recorder() override;

    // The computer's clock, the monotonic one beside it; replaceable.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

    RecordStore &store() { return store_; }
    const RecordingInfo &current() const { return rec_; }
    // The recording written to most recently (0: none yet), which stays
    // known after an Export has begun the next, still empty, one.
    qint64 lastRecordingId() const { return lastId_; }
    bool failing() const { return failing_; }
    // Rows the store has not taken (yet).
    qint64 heldRows() const;
    // Where the rows the store never took went at the end (empty: nowhere
    // needed, or nowhere possible; then rescueError() says why).
    QString rescuedTo() const { return rescued_; }
    // The store itself failed this run: it never took some rows, which went
    // to the fallback (or nowhere).
    bool storeLost() const { return storeLost_; }
    // What opening the store did that the user should hear of (a damaged
    // store moved aside), empty if nothing.
    QString startNotice() const { return startNotice_; }

    // Recordings cut off (a crash, a power cut) that no running program is
    // writing.
    QList<RecordingInfo> unfinished();
    // Puts a stored recording back into the table and goes on recording into
    // it (RecorderRestore.cpp). What this window logged since it started, in
    // a table of the same columns, goes on after the restored rows, in the
    // table and in the recording, so that one session is one recording; the
    // hole between is a "gap" event with its length, and the chart breaks
    // its lines there. What was being recorded ends ("restore").
    // `progress` (done, total) is asked every few tens of milliseconds, and
    // the event loop may run in it; false cancels: the table, the chart and
    // the recording being written are then as they were before, the stored
    // recording is untouched (and still unfinished), `cancelled` is set and
    // the answer is empty. Empty on success, else why not.
    using Progress = std::function<bool(qint64 done, qint64 total)>;
    QString restore(qint64 id, const Progress &progress = {}, bool *cancelled = nullptr);
    bool restoring() const { return restoring_; }
    // Ends a stored recording without restoring it ("closed").
    QString closeRecording(qint64 id);
    // The program ends another way than by Exit (its window closed, its
    // port lost): the recording ends as at Exit. Nothing after an Exit.
    void finishRun() { onExit(); }

    // Writes `file` of recording `id` (the one being recorded, or one the
    // store holds) by `write`, and makes it an event of that recording's
    // chain: `event` (fileEvent()) is appended when the file was written,
    // and the file carries the fingerprint of the chain up to and including
    // it (AnchoredFile.h). Nothing else goes into the chain between. A
    // recording the store has not taken yet gives no anchor: the event then
    // follows with the file's SHA-256. Empty on success, else why not.
    QString writeAnchored(qint64 id, const QString &file, QJsonObject event,
                          const std::function<QString(const Anchor &)> &write, QString *notice = nullptr);

    // Writes whatever is waiting now (also called after every receive tick).
    void flush();
    // Records an event from outside the core (the broker gone or back, a
    // meter answering on a port where another was), written at once.
    void note(const QString &name, const QJsonObject &fields = {});

    // The sample measured from now on (sample, batch, method): an event of
    // the recording now, and of every recording after it at its start,
    // until another is named. Empty: none named.
    void setSample(const annotation::Sample &s);
    const annotation::Sample &sample() const { return sample_; }
    // Adds the event `name` (a note, a signature) to the recording in the
    // table, or when that has no rows yet to the one recorded last (ended:
    // its chain grows past its end). `signs`: the fields get the
    // fingerprint and length of the chain just before the event. Empty on
    // success (`id` then names the recording), else why not.
    QString addEvent(const QString &name, QJsonObject fields, bool signs, qint64 *id = nullptr);

    static constexpr int kRetryMs = 3000;
    static constexpr int kSyncMs = 1000;
    static constexpr qint64 kClockJumpMs = 2000;
    static constexpr int kBusyRetryMs = 100;
    static constexpr qint64 kBusyGraceMs = 10000;   // a lock held longer is store trouble
    static constexpr int kExitBusyMs = 3000;

signals:
    // The store stopped taking rows (once, with the reason) and took them again.
    void storeFailed(const QString &text);
    void storeRecovered(const QString &text);
    // Something about the store the user should know once (its file gone
    // and made again, the held rows saved elsewhere at the end).
    void storeNotice(const QString &text);
    // Entries went to the disk (for whoever forwards them).
    void written();

private:
    void onTableLaidOut(QChar frameLetter);
    void onRowCompleted(int row);
    void onFrame(const QString &content);
    void onExported(const QString &file, int rows);
    void onExit();
    void begin(const QString &cause, const QJsonObject &extra = {});
    // Ends the recording: `how` (EndHow.h) and `fields` go into its "end" event.
    void end(const QString &how, QJsonObject fields = {});
    void event(const QString &name, QJsonObject fields = {});
    QJsonObject stamped(const QString &name, QJsonObject fields, const QDateTime &t) const;
    void append(const QString &kind, const QJsonObject &body);
    void appendBody(const QString &kind, const QByteArray &body);
    static QString iso(const QDateTime &t);
    static QByteArray compact(const QJsonObject &o);
    // A restore's steps (RecorderRestore.cpp).
    struct Session;
    Session sessionSoFar(const QStringList &header);
    void restoreTable(const Session &session);
    void adopt(const RecordingInfo &info, StoredRows &stored, const Session &session);
    QJsonObject gapEvent(const RecordingInfo &info, const QDateTime &resumed);
    bool ensureOpen();
    void checkClock();
    QJsonObject settingsSnapshot(const QString &frame) const;
    void sampleInForce();
    QString displayState() const;

    struct Pending { QString kind; QByteArray body; bool row; };
    // A recording that ended while the store would not take its last entries.
    struct Backlog
    {
        RecordingInfo rec;
        QList<Pending> pending;
        QString display;
        std::shared_ptr<LiveLock> lock;
    };
    bool writeOne(RecordStore &store, RecordingInfo &rec, QList<Pending> &pending);
    void troubled();
    void sync();
    void storeGone(const QString &why);
    void rescue();
    qint64 heldEntries() const;

    MainCore &core_;
    QString folder_;
    RecordStore store_;
    RecordingInfo rec_;
    LiveLock lock_;
    bool active_ = false;              // a recording is being written
    QList<Pending> pending_;           // not yet on disk, in order
    bool holding_ = false;             // a file anchored in the chain is being written
    QList<Pending> held_;              // entries that came meanwhile, to follow its event
    QList<Backlog> backlog_;
    QList<QJsonObject> carried_;       // events waiting for the next recording
    qint64 nextSeq_ = 1;
    qint64 settingsSeq_ = 0;           // the settings event in force, in this recording
    QJsonObject settingsInForce_;
    annotation::Sample sample_;
    QString pendingCause_;             // what the next layout comes from
    bool downloading_ = false;
    qint64 downloadRows_ = 0;          // records of the meter's memory in this download
    bool failing_ = false;
    qint64 lastId_ = 0;
    qint64 heldRows_ = 0;              // rows waiting for the store
    bool restoring_ = false;
    QDateTime runStarted_;             // when this run began: where a hole it follows ends
    bool exited_ = false;
    QList<Pending> unconfirmed_;       // written since the file was last seen in place
    QElapsedTimer busySince_;          // another program has held the database since
    QString rescued_, startNotice_;
    bool storeLost_ = false;
    QTimer retry_, sync_, clock_, busyRetry_;
    bool dirty_ = false;
    QElapsedTimer mono_;
    qint64 wallAtMono_ = 0, monoAt_ = 0;
};
