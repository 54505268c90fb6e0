#include "record/Recorder.h"

#include "link/Decoders.h"
#include "record/DeviceIdentity.h"
#include "record/EndHow.h"
#include "record/RecordIdentity.h"
#include "record/Replay.h"
#include "record/SettingsFields.h"
#include "record/StoredReadings.h"
#include "record/StoredRows.h"
#include "shell/MainCore.h"
#include "shell/SerialLink.h"
#include "tidy/RowBody.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSysInfo>
#include <QUuid>

#include <pwd.h>
#include <unistd.h>

QString Recorder::iso(const QDateTime &t)
{
    return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

QByteArray Recorder::compact(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

Recorder::Recorder(MainCore &core, const QString &folder, QObject *parent)
    : QObject(parent), core_(core), folder_(folder)
{
    mono_.start();
    wallAtMono_ = QDateTime::currentMSecsSinceEpoch();
    runStarted_ = now();
    LiveLock::removeStale(folder_);
    store_.open(folder_);   // a failure shows at the first write, and is retried

    connect(&core_, &MainCore::tableLaidOut, this, &Recorder::onTableLaidOut);
    connect(&core_, &MainCore::rowCompleted, this, &Recorder::onRowCompleted);
    connect(&core_, &MainCore::frameHandled, this, &Recorder::onFrame);
    connect(&core_, &MainCore::receiveTickDone, this, [this] { flush(); });
    connect(&core_, &MainCore::exported, this, &Recorder::onExported);
    connect(&core_, &MainCore::exitRequested, this, &Recorder::onExit);
    // An export is an event of the recording it writes out, and carries
    // that event's fingerprint (an .xlsx), or its file's hash is in it.
    core_.anchoredExport = [this](const QString &file, int rows, const MainCore::PropertiesWriter &write) {
        return writeAnchored(0, file,
                             fileEvent(QStringLiteral("export"), file, {{QStringLiteral("rows"), rows}}),
                             [&write](const Anchor &a) { return write(anchorProperties(a)); });
    };
    // The exports of readings read the rows as stored, with their receipt
    // times, sources and settings, where the store holds every row of the
    // table; else the core builds them from the table.
    core_.storedReadings = [this]() -> std::optional<ReadingSource> {
        flush();
        if (failing_ || !active_ || rec_.id == 0 || rec_.rows != core_.m.GridRow - 1)
            return std::nullopt;
        return storedReadings(store_, rec_);
    };
    connect(&core_, &MainCore::cleared, this, [this] { event(QStringLiteral("clear")); });
    connect(&core_, &MainCore::rangeChosen, this, [this](int i) {
        if (!restoring_)
            event(QStringLiteral("range"), {{QStringLiteral("index"), i}});
    });
    connect(&core_, &MainCore::portOpened, this, [this](const QString &d) {
        event(QStringLiteral("port_opened"), {{QStringLiteral("device"), d}, {QStringLiteral("stable"), stableDeviceName(d)}});
        flush();
    });
    connect(&core_, &MainCore::portClosed, this,
            [this](const QString &d) { event(QStringLiteral("port_closed"), {{QStringLiteral("device"), d}}); });
    connect(&core_, &MainCore::portLost, this, [this](const QString &why) {
        event(QStringLiteral("port_lost"), {{QStringLiteral("reason"), why}});
        flush();
    });
    connect(&core_, &MainCore::portRestored, this, [this](const QString &d) {
        event(QStringLiteral("port_back"), {{QStringLiteral("device"), d}});
        flush();
    });

    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, &Recorder::flush);
    sync_.setInterval(kSyncMs);
    connect(&sync_, &QTimer::timeout, this, &Recorder::sync);
    busyRetry_.setSingleShot(true);
    busyRetry_.setInterval(kBusyRetryMs);
    connect(&busyRetry_, &QTimer::timeout, this, &Recorder::flush);
    sync_.start();
    clock_.setInterval(1000);
    connect(&clock_, &QTimer::timeout, this, &Recorder::checkClock);
    clock_.start();

    event(QStringLiteral("start"), {{QStringLiteral("version"), QStringLiteral(TQ800_VERSION)},
                                   {QStringLiteral("pid"), qint64(getpid())}});
    if (!store_.notice().isEmpty()) {
        event(QStringLiteral("store_moved_aside"), {{QStringLiteral("notice"), store_.notice()}});
        startNotice_ = store_.notice();
    }
}

Recorder::~Recorder()
{
    core_.anchoredExport = nullptr;
    core_.storedReadings = nullptr;
    flush();
    store_.checkpoint();
}

// --- what happened ---------------------------------------------------------

void Recorder::onTableLaidOut(QChar frameLetter)
{
    if (restoring_)
        return;
    const QString cause = frameLetter.isNull() ? (pendingCause_.isEmpty() ? QStringLiteral("Clear") : pendingCause_)
                                               : QStringLiteral("frame ") + frameLetter;
    pendingCause_.clear();
    end(endhow::forCause(cause));
    begin(cause);
    if (frameLetter == QLatin1Char('S')) {
        downloading_ = true;
        downloadRows_ = 0;
        event(QStringLiteral("download_began"));
    }
}

void Recorder::onRowCompleted(int row)
{
    // Readings that come before the table was ever laid out still count.
    if (!active_)
        begin(QStringLiteral("first reading"));
    // A record of the meter's memory: the download begins before its first
    // row in the chain, also when it goes on in a table that has rows.
    const bool fromMemory = core_.decodingFrame() == QLatin1Char('S');
    if (fromMemory && !downloading_) {
        downloading_ = true;
        downloadRows_ = 0;
        event(QStringLiteral("download_began"));
    }
    downloadRows_ += fromMemory ? 1 : 0;
    const FlexGrid &grid = *core_.MSFlexGrid1;
    tidy::RowFacts f;
    f.row = row;
    for (int c = 0; c < FlexGrid::kCols; ++c) {
        f.cells[std::size_t(c)] = grid.TextMatrix(row, c);
        f.header << grid.TextMatrix(0, c);
    }
    f.source = fromMemory ? tidy::Source::Memory : tidy::Source::Live;
    f.received = now();
    f.settings = settingsSeq_;
    f.mode = core_.m.MeasMode.isEmpty() ? QJsonValue() : QJsonValue(core_.m.MeasMode.toInt());
    append(QStringLiteral("row"), tidy::rowBody(f));
}

void Recorder::onFrame(const QString &content)
{
    const QChar letter = content.isEmpty() ? QChar() : content.at(0);
    if (letter == QLatin1Char('M')) {
        // The meter announced itself anew (switched on again, or another
        // one on the port): what it sent before is one recording, and the
        // model frame opens the next.
        end(endhow::kModel);
        event(QStringLiteral("model"), {{QStringLiteral("code"), core_.m.ModelCode.toString()}});
    } else if (letter == QLatin1Char('Q') || letter == QLatin1Char('P')) {
        settingsInForce_ = settingsSnapshot(content);
        event(QStringLiteral("settings"), settingsInForce_);
        if (active_)
            settingsSeq_ = nextSeq_ - 1;
    } else if (letter == QLatin1Char('S')) {
        if (!downloading_) {
            downloading_ = true;
            downloadRows_ = 0;
            event(QStringLiteral("download_began"));
        }
    } else if (letter == QLatin1Char('E')) {
        // The records the meter sent, not the rows of the table (which may
        // hold live readings from before the download).
        if (downloading_ || core_.m.GridRow > 1)
            event(QStringLiteral("download_ended"), {{QStringLiteral("rows"), downloadRows_}});
        downloading_ = false;
        downloadRows_ = 0;
    } else if (letter == QLatin1Char('D')) {
        downloading_ = false;
    }
}

void Recorder::onExported(const QString &, int)
{
    // Its event is in the chain already (writeAnchored).
    pendingCause_ = QStringLiteral("Export");
    end(endhow::kExport);
}

void Recorder::onExit()
{
    if (exited_)
        return;
    exited_ = true;
    event(QStringLiteral("exit"));
    end(endhow::kExit);
    // At the end another program's transaction is waited for a while: the
    // rows either go in or to the fallback.
    store_.waitWhenBusy(kExitBusyMs);
    flush();
    // What went in since the last look at the file: is it still there?
    sync();
    store_.checkpoint();
    if (heldEntries() > 0)
        rescue();
}

void Recorder::checkClock()
{
    // The computer's clock against the monotonic one: a jump (set by hand,
    // by a time server after a long drift, a suspend) is worth an entry,
    // since every receipt time after it is read against it.
    const qint64 wall = now().toMSecsSinceEpoch();
    const qint64 mono = mono_.elapsed();
    const qint64 jump = wall - (wallAtMono_ + (mono - monoAt_));
    wallAtMono_ = wall;
    monoAt_ = mono;
    if (std::abs(jump) > kClockJumpMs) {
        event(QStringLiteral("clock_jump"), {{QStringLiteral("by_ms"), jump}});
        flush();
    }
}

// --- recordings --------------------------------------------------------------

void Recorder::begin(const QString &cause, const QJsonObject &extra)
{
    rec_ = RecordingInfo{};
    rec_.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    rec_.started = iso(now());
    rec_.host = QSysInfo::machineHostName();
    rec_.user = identity::osUser();
    rec_.version = QStringLiteral(TQ800_VERSION);
    rec_.device = core_.MSComm1->device();
    rec_.stableDevice = stableDeviceName(rec_.device);
    rec_.model = core_.m.ModelCode.toString();
    lock_.acquire(folder_, rec_.uuid);   // retried with the first write if the folder refuses
    active_ = true;
    pending_.clear();
    nextSeq_ = 1;
    settingsSeq_ = 0;
    QJsonArray header;
    for (int c = 0; c < FlexGrid::kCols; ++c)
        header.append(core_.MSFlexGrid1->TextMatrix(0, c));
    // The first entry says whose recording this is; the store adds its
    // place in the ledger when it takes it.
    QJsonObject fields = extra;
    fields.insert(QStringLiteral("recording"), identity::of(rec_));
    fields.insert(QStringLiteral("cause"), cause);
    fields.insert(QStringLiteral("header"), header);
    event(QStringLiteral("begin"), fields);
    if (!settingsInForce_.isEmpty()) {
        QJsonObject s = settingsInForce_;
        s.insert(QStringLiteral("in_force"), true);
        event(QStringLiteral("settings"), s);
        settingsSeq_ = nextSeq_ - 1;
    }
    sampleInForce();
    for (const QJsonObject &e : std::exchange(carried_, {})) {
        append(QStringLiteral("event"), e);
        if (e.value(QStringLiteral("event")).toString() == QLatin1String("settings"))
            settingsSeq_ = nextSeq_ - 1;
    }
}

void Recorder::end(const QString &how, QJsonObject fields)
{
    if (!active_)
        return;
    qint64 rows = rec_.rows;
    for (const Pending &p : pending_)
        rows += p.row ? 1 : 0;
    if (rows == 0) {
        // Nothing logged: no recording on disk; what happened goes on into
        // the next one.
        active_ = false;
        for (const Pending &p : std::exchange(pending_, {})) {
            const QJsonObject e = QJsonDocument::fromJson(p.body).object();
            const QString name = e.value(QStringLiteral("event")).toString();
            if (name != QLatin1String("begin") && !e.contains(QStringLiteral("in_force")))
                carried_ << e;
        }
        lock_.release();
        return;
    }
    // How it ended is its chain's last entry, and the recording's own.
    const QDateTime t = now();
    fields.insert(QStringLiteral("how"), how);
    fields.insert(QStringLiteral("rows"), rows);
    append(QStringLiteral("event"), stamped(QStringLiteral("end"), fields, t));
    active_ = false;
    rec_.ended = iso(t);
    rec_.endedHow = how;
    rec_.display = displayState();
    backlog_.append(Backlog{rec_, std::exchange(pending_, {}), rec_.display, std::make_shared<LiveLock>()});
    lock_.handOver(*backlog_.last().lock);
    flush();
}

QJsonObject Recorder::stamped(const QString &name, QJsonObject fields, const QDateTime &t) const
{
    fields = annotation::stamped(name, std::move(fields), t);
    fields.insert(QStringLiteral("mono_ms"), mono_.elapsed());
    return fields;
}

void Recorder::event(const QString &name, QJsonObject fields)
{
    fields = stamped(name, std::move(fields), now());
    if (active_)
        append(QStringLiteral("event"), fields);
    else
        carried_ << fields;
}

void Recorder::sampleInForce()
{
    // The readings that follow are of this sample: a reader of the
    // recording from its start (an export, the broker) knows it.
    if (sample_.isEmpty())
        return;
    QJsonObject s = annotation::sampleFields(sample_);
    s.insert(QStringLiteral("in_force"), true);
    event(QStringLiteral("sample"), s);
}

void Recorder::setSample(const annotation::Sample &s)
{
    if (s == sample_)
        return;
    sample_ = s;
    // Before the first row the recording's start names it.
    if (active_) {
        event(QStringLiteral("sample"), annotation::sampleFields(s));
        flush();
    }
}

QString Recorder::addEvent(const QString &name, QJsonObject fields, bool signs, qint64 *id)
{
    flush();
    if (failing_)
        return QStringLiteral("the recordings store does not take entries now (%1)").arg(store_.error());
    // 1. The recording in the table, once it is on disk.
    if (active_ && rec_.id > 0) {
        if (signs)
            annotation::signOver(fields, rec_.lastHash, rec_.entries);
        event(name, fields);
        flush();
        if (id)
            *id = rec_.id;
        return failing_ ? QStringLiteral("the recordings store did not take it (%1); it is held and written when the "
                                         "store takes entries again").arg(store_.error())
                        : QString();
    }
    // 2. Else the one recorded last, ended.
    if (lastId_ == 0)
        return QStringLiteral("nothing has been recorded yet");
    const auto r = store_.appendEvent(lastId_, [&](const RecordingInfo &rec) {
        QJsonObject f = fields;
        if (signs)
            annotation::signOver(f, rec.lastHash, rec.entries);
        return compact(stamped(name, f, now()));
    });
    if (!r)
        return store_.error();
    dirty_ = true;
    emit written();
    if (id)
        *id = r->id;
    return {};
}

void Recorder::note(const QString &name, const QJsonObject &fields)
{
    event(name, fields);
    flush();
}

void Recorder::append(const QString &kind, const QJsonObject &body)
{
    appendBody(kind, compact(body));
}

void Recorder::appendBody(const QString &kind, const QByteArray &body)
{
    Pending p{kind, body, kind == QLatin1String("row")};
    if (holding_) {
        held_.append(std::move(p));
        return;
    }
    pending_.append(std::move(p));
    ++nextSeq_;
}

QString Recorder::writeAnchored(qint64 id, const QString &file, QJsonObject event,
                                const std::function<QString(const Anchor &)> &write, QString *notice)
{
    flush();
    // 1. A stored recording, not the one being written: the store's way.
    if (id > 0 && (!active_ || id != rec_.id)) {
        if (!backlog_.isEmpty())
            return QStringLiteral("the recordings store has not taken recording %1's last entries yet").arg(id);
        return ::writeAnchored(store_, id, file, event, write, notice);
    }
    // 2. Not on disk yet (the store refuses): no anchor; the event follows
    // the file with its hash.
    const bool carries = carriesFingerprint(file);
    if (!active_ || rec_.id == 0) {
        if (const QString error = write(Anchor{}); !error.isEmpty())
            return error;
        event.insert(QStringLiteral("sha256"), fileSha256(file));
        this->event(event.value(QStringLiteral("event")).toString(), event);
        flush();
        return {};
    }
    // 3. The event's body settled and its link computed after what waits
    // for the store; what comes while the file is written waits for it.
    QByteArray previous = rec_.entries == 0 ? hashchain::genesis(rec_.uuid) : rec_.lastHash;
    qint64 seq = rec_.entries;
    for (const Pending &p : pending_)
        previous = hashchain::link(previous, ++seq, p.kind, p.body);
    Anchor a{rec_.id, rec_.uuid, seq + 1, {}, true};
    if (carries)
        a.fingerprint = hashchain::link(previous, a.seq, QStringLiteral("event"), compact(event));
    holding_ = true;
    const QString error = write(carries ? a : Anchor{});
    holding_ = false;
    if (error.isEmpty()) {
        if (!carries)
            event.insert(QStringLiteral("sha256"), fileSha256(file));
        append(QStringLiteral("event"), event);
    }
    for (Pending &p : std::exchange(held_, {})) {
        pending_.append(std::move(p));
        ++nextSeq_;
    }
    flush();
    return error;
}

QJsonObject Recorder::settingsSnapshot(const QString &frame) const
{
    const Module1 &m = core_.m;
    // Every setting a settings frame decodes, as the program holds it: its
    // numbers as numbers.
    using settingsfields::value;
    const QJsonObject fields{
        {QStringLiteral("MeterFamily"), value(m.MeterFamily)},   {QStringLiteral("TempUnit"), value(m.TempUnit)},
        {QStringLiteral("TimerSetting"), m.TimerSetting},        {QStringLiteral("SoluSet"), m.SoluSet},
        {QStringLiteral("PhPu1"), value(m.PhPu1)},               {QStringLiteral("PhPu2"), m.PhPu2},
        {QStringLiteral("PhCalBuffers"), value(m.PhCalBuffers)}, {QStringLiteral("PhCalCount"), m.PhCalCount},
        {QStringLiteral("CalOffset"), value(m.CalOffset)},       {QStringLiteral("CalSlope"), m.CalSlope},
        {QStringLiteral("MvUref"), m.MvUref},                    {QStringLiteral("IonType"), m.IonType},
        {QStringLiteral("IseCal1"), value(m.IseCal1)},           {QStringLiteral("IseCal2"), m.IseCal2},
        {QStringLiteral("ConDecimals"), m.ConDecimals},          {QStringLiteral("CellConstText"), m.CellConstText},
        {QStringLiteral("CondTref"), value(m.CondTref)},         {QStringLiteral("CondCtc"), m.CondCtc},
        {QStringLiteral("CondCalStd"), value(m.CondCalStd)},     {QStringLiteral("DoResCode"), m.DoResCode},
    };
    QJsonArray panel;
    for (std::size_t i = 0; i < 7; ++i)
        if (core_.panel.Line2[i] || !core_.panel.Label1[i].Caption.isEmpty())
            panel.append(QJsonArray{core_.panel.Label1[i].Caption, core_.panel.Label2[i].Caption});
    return {{QStringLiteral("frame"), frame}, {QStringLiteral("fields"), fields}, {QStringLiteral("panel"), panel}};
}

QString Recorder::displayState() const
{
    const MainCore &c = core_;
    QJsonArray lcd, shapes, panel;
    for (const Label &l : c.lcd.lblLCD)
        lcd.append(l.Caption);
    for (bool s : c.lcd.Shape1)
        shapes.append(s);
    for (std::size_t i = 0; i < 7; ++i)
        panel.append(QJsonArray{c.panel.Label1[i].Caption, c.panel.Label2[i].Caption, c.panel.Line2[i],
                                c.panel.Label1[i].Visible, c.panel.Label2[i].Visible});
    return QString::fromUtf8(compact({{QStringLiteral("caption"), c.Caption},
                                      {QStringLiteral("lcd"), lcd},
                                      {QStringLiteral("shapes"), shapes},
                                      {QStringLiteral("panel"), panel},
                                      {QStringLiteral("range"), c.Option1Value},
                                      {QStringLiteral("model"), c.m.ModelCode.toString()},
                                      {QStringLiteral("settings_frame"),
                                       settingsInForce_.value(QStringLiteral("frame")).toString()}}));
}
