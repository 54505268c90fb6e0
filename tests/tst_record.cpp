// The recordings store: every recording ends with how it ended, what a
// crash leaves can be restored as it was, the chain shows any entry altered,
// removed, inserted or reordered, the store keeps logging through a full or
// read-only disk, and it shares its folder with a second window and with
// files that are not its own.
#include "record/Recorder.h"
#include "record/RecordingsModel.h"
#include "record/StoreListing.h"
#include "record/SqliteDb.h"
#include "report/ReportBuild.h"
#include "support/DataTable.h"
#include "support/FakeMeter.h"
#include "support/Files.h"
#include "support/LoggedSession.h"
#include "support/OwnHome.h"
#include "support/Readings.h"
#include "support/RecordedSession.h"

#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <pty.h>
#include <sys/mount.h>
#include <termios.h>
#include <unistd.h>

namespace {

QStringList tableOf(const Bench &b)
{
    QStringList rows;
    for (int r = 0; r <= b.core.m.GridRow; ++r)
        rows << b.rowText(r);
    return rows;
}

void sql(const QString &folder, const char *statement)
{
    SqliteDb db;
    QVERIFY(db.open(RecordStore::fileIn(folder)));
    QVERIFY2(db.exec(statement), qPrintable(db.error()));
}

bool isRoot()
{
    return geteuid() == 0;
}

// The last entry of a recording's chain, as JSON.
QJsonObject lastEntry(RecordStore &store, qint64 id)
{
    QByteArray body;
    store.forEachEntry(id, QString(), [&](const hashchain::Entry &e) {
        body = e.body;
        return true;
    });
    return QJsonDocument::fromJson(body).object();
}

// Every recording in the store ended, its end the last entry of an intact
// chain; the ways they ended, in order.
QStringList endsOf(RecordStore &store)
{
    QStringList hows;
    for (const RecordingInfo &r : store.list()) {
        const QJsonObject end = lastEntry(store, r.id);
        if (end.value(QStringLiteral("event")).toString() != QLatin1String("end")
            || end.value(QStringLiteral("how")).toString() != r.endedHow
            || store.verify(r).kind != hashchain::Verdict::Kind::Intact)
            hows << QStringLiteral("not ended: %1").arg(r.id);
        else
            hows << r.endedHow;
    }
    return hows;
}

// tq800-log on the store in `folder`: its output and exit status.
std::pair<QString, int> logOn(const QString &folder, const QStringList &args)
{
    QProcess log;
    log.start(QStringLiteral(TQ800_LOG), QStringList{QStringLiteral("--journal"), folder} + args);
    log.waitForFinished(60000);
    return {QString::fromUtf8(log.readAllStandardOutput() + log.readAllStandardError()), log.exitCode()};
}

// A rewrite that leaves every chain holding: `from` becomes `to` in the
// first entry of recording `id` that has it, and every later hash and the
// recording's last hash are computed anew by the chain's formula.
void rewrite(const QString &folder, qint64 id, const QByteArray &from, const QByteArray &to)
{
    RecordStore store;
    QVERIFY(store.open(folder));
    const auto rec = store.recording(id);
    QVERIFY(rec);
    QList<hashchain::Entry> entries;
    store.forEachEntry(id, QString(), [&](const hashchain::Entry &e) {
        entries << e;
        return true;
    });
    QByteArray previous = hashchain::genesis(rec->uuid);
    bool changed = false;
    SqliteStatement upd(store.db(), "UPDATE entry SET body = ?, hash = ? WHERE recording = ? AND seq = ?");
    for (hashchain::Entry &e : entries) {
        if (!changed && e.body.contains(from)) {
            e.body.replace(from, to);
            changed = true;
        }
        e.hash = hashchain::link(previous, e.seq, e.kind, e.body);
        previous = e.hash;
        upd.bind(1, QString::fromUtf8(e.body)).bind(2, e.hash).bind(3, id).bind(4, e.seq);
        QVERIFY(upd.run());
    }
    QVERIFY(changed);
    SqliteStatement last(store.db(), "UPDATE recording SET last_hash = ? WHERE id = ?");
    last.bind(1, previous).bind(2, id);
    QVERIFY(last.run());
}

// The real window on a pseudo-terminal in raw mode that stands for the
// meter's line (its master end, non-blocking, is the meter's side); both
// ends close when it goes, after the test has waited for the window.
struct WindowOnLine
{
    int master = -1, slave = -1;
    QProcess window;

    bool start(const QString &journal)
    {
        char name[128] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
            return false;
        fcntl(master, F_SETFL, O_NONBLOCK);
        termios raw;
        tcgetattr(slave, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave, TCSANOW, &raw);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        window.setProcessEnvironment(env);
        window.start(QStringLiteral(TQ800_GUI),
                     {QStringLiteral("--port"), QString::fromLatin1(name), QStringLiteral("--journal"), journal});
        return window.waitForStarted();
    }
    ~WindowOnLine()
    {
        if (window.state() != QProcess::NotRunning) {
            window.kill();
            window.waitForFinished();
        }
        for (int fd : {master, slave})
            if (fd >= 0)
                ::close(fd);
    }
};

} // namespace

class TestRecord : public QObject
{
    Q_OBJECT
public:
    static void initMain() { useOwnHome(); }

private slots:
    // Whatever ends a recording puts how into its chain, as its last entry,
    // before the next one begins.
    void endings_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Clear") << "cleared";
        QTest::newRow("model frame") << "model frame";
        QTest::newRow("settings frame with a new table") << "new table";
        QTest::newRow("Export") << "Export";
        QTest::newRow("Exit") << "Exit";
    }
    void endings()
    {
        QFETCH(QString, how);
        QTemporaryDir dir;
        Session s(dir.path());
        s.b.core.cmdClear_Click();
        s.log(1, 3);
        if (how == QLatin1String("cleared")) {
            s.b.core.cmdClear_Click();
        } else if (how == QLatin1String("model frame")) {
            s.b.feed(QByteArray::fromStdString(sim::encodeModel("01A2.1")));
        } else if (how == QLatin1String("new table")) {
            s.b.feed(QByteArray::fromStdString(sim::encodeSettings({.letter = 'P'})));
        } else if (how == QLatin1String("Export")) {
            s.b.prompts.saveAs = dir.filePath(QStringLiteral("x.csv"));
            s.b.core.cmdExport_Click();
        } else {
            s.b.core.cmdExit_Click();
        }
        if (how != QLatin1String("Exit"))
            s.log(4, 5);
        s.rec.finishRun();
        QStringList expected{how};
        if (s.rec.store().list().size() > 1)
            expected << QStringLiteral("Exit");
        QCOMPARE(endsOf(s.rec.store()), expected);
        QCOMPARE(s.rec.store().recording(1)->rows, 3);
    }

    // The logger: two model frames and a Clear in one run, and a clean end,
    // leave nothing unfinished.
    void loggedRunEndsEveryRecording()
    {
        QTemporaryDir dir;
        Logged l;
        Recorder rec(l.b.core, dir.path());
        QVERIFY(l.start());
        const QByteArray model = QByteArray::fromStdString(sim::encodeModel("01A2.1"));
        l.b.feed(model + QByteArray::fromStdString(sim::encodeSettings({}) + sim::encodeEnd()));
        int i = 0;
        auto log = [&](int n) {
            for (int k = 0; k < n; ++k)
                l.b.feed(runReading(++i));
        };
        log(5);
        l.b.feed(model);   // the logger presses Clear after it
        log(5);
        l.b.core.cmdClear_Click();
        log(5);
        l.b.feed(model);
        log(5);
        l.session.stop();
        QCOMPARE(endsOf(rec.store()), (QStringList{"model frame", "cleared", "model frame", "Exit"}));
        QProcess list;
        list.start(QStringLiteral(TQ800_LOG), {QStringLiteral("--journal"), dir.path(), QStringLiteral("--list-recordings")});
        QVERIFY(list.waitForFinished());
        const QString listed = QString::fromUtf8(list.readAllStandardOutput());
        QCOMPARE(listed.count(QLatin1Char('\n')), 4);
        QVERIFY2(!listed.contains(QStringLiteral("unfinished")), qPrintable(listed));
    }

    // A recording left by a crash comes back: the same table cell for cell,
    // the same display, and it goes on. What this window logged before
    // Restore goes on after the restored rows, in the table and in the
    // recording (one session, one recording); the hole between is an event
    // with its length and a break in the chart, in the window and in the
    // report.
    void restoreAfterCrash()
    {
        QTemporaryDir dir;
        QStringList table;
        {
            Session s(dir.path());
            // Two hours ago: the hole is that long.
            s.rec.now = [] { return QDateTime::currentDateTime().addSecs(-7200); };
            s.b.core.cmdClear_Click();
            s.log(1, 150);   // past a doubling of the time base
            table = tableOf(s.b);
        }   // killed: no Exit, no Export
        Session s(dir.path());
        const QList<RecordingInfo> offered = s.rec.unfinished();
        QCOMPARE(offered.size(), 1);
        QCOMPARE(offered[0].rows, 150);
        const qint64 id = offered[0].id;
        // Rows land before Restore is pressed.
        s.b.core.cmdClear_Click();
        s.log(200, 201);
        auto display = [&s] {
            QStringList shown;
            for (int i = 0; i < 12; ++i)
                shown << (i == 10 ? QString() : s.b.lcd(i));   // 10: the row count
            return shown;
        };
        const QStringList landed = display();
        s.rec.flush();
        const qint64 meanwhile = s.rec.current().id;
        QCOMPARE(s.rec.restore(id), QString());
        QCOMPARE(s.rec.store().recording(meanwhile)->endedHow, QStringLiteral("restore"));
        const QJsonObject ended = lastEntry(s.rec.store(), meanwhile);
        QCOMPARE(ended.value(QStringLiteral("restored_id")).toInteger(), id);
        QCOMPARE(ended.value(QStringLiteral("rows_moved")).toInt(), 2);
        // The table: the restored rows, then the two, numbered on.
        const QStringList now = tableOf(s.b);
        QCOMPARE(now.mid(0, 151), table.mid(0, 151));
        QCOMPARE(s.b.core.m.GridRow, 153);
        QVERIFY(s.b.rowText(151).startsWith(QStringLiteral("151|")));
        QVERIFY(s.b.rowText(152).startsWith(QStringLiteral("152|")));
        QCOMPARE(display(), landed);   // the newest reading, not the old display
        QCOMPARE(s.b.lcd(10), QStringLiteral("152"));
        // The chart breaks once, before row 151.
        int breaks = 0;
        s.b.core.Picture4.forEachSegment(0, [&](const SegmentPair &p) { breaks += std::isnan(p.x1) ? 1 : 0; });
        QCOMPARE(breaks, 1);
        QVERIFY(s.b.core.chartRows().held(151).gapBefore());
        // One recording, in order: the restored rows, the hole, the rows
        // that landed (row numbers and cells on from 150).
        s.b.core.m.PollingOn = true;
        s.log(202, 203);   // logging goes on into the same recording
        s.rec.flush();
        QCOMPARE(s.rec.current().id, id);
        QCOMPARE(s.rec.current().rows, 154);
        QStringList order;
        QJsonObject gap;
        s.rec.store().forEachEntry(id, QString(), [&](const hashchain::Entry &e) {
            const QJsonObject o = QJsonDocument::fromJson(e.body).object();
            if (e.kind == QLatin1String("row"))
                order << QString::number(o.value(QStringLiteral("row")).toInt()) + QLatin1Char('=')
                        + o.value(QStringLiteral("cells")).toArray().at(0).toString();
            else if (o.value(QStringLiteral("event")).toString() == QLatin1String("gap")) {
                gap = o;
                order << QStringLiteral("gap");
            }
            return true;
        });
        QCOMPARE(order.mid(148), (QStringList{"149=149", "150=150", "gap", "151=151", "152=152", "153=153", "154=154"}));
        QCOMPARE(gap.value(QStringLiteral("row")).toInt(), 151);
        const double seconds = gap.value(QStringLiteral("seconds")).toDouble();
        QVERIFY2(seconds >= 7200 && seconds < 7200 + 120, qPrintable(QString::number(seconds)));
        // The report's chart is the window's, hole and all.
        QString error;
        const ReportData report = storedReportData(s.rec.store(), *s.rec.store().recording(id), QString(), error);
        QCOMPARE(error, QString());
        QCOMPARE(report.chart, reportChart(s.b.core));
        QCOMPARE(s.rec.store().verify(s.rec.current()).kind, hashchain::Verdict::Kind::EndsEarly);
        s.b.core.cmdExit_Click();
        QCOMPARE(s.rec.store().verify(*s.rec.store().recording(id)).kind, hashchain::Verdict::Kind::Intact);
        QVERIFY(s.rec.unfinished().isEmpty());
    }

    // Cancelled while the chain is walked or the rows go into the table:
    // the table, the chart and the recording being written are as they
    // were, the stored recording is untouched and still offered, and a
    // second Restore goes through.
    void restoreCancelled_data()
    {
        QTest::addColumn<bool>("whileLoading");
        QTest::newRow("while checking the chain") << false;
        QTest::newRow("while filling the table") << true;
    }
    void restoreCancelled()
    {
        QFETCH(bool, whileLoading);
        QTemporaryDir dir;
        {
            Session s(dir.path());
            s.b.core.cmdClear_Click();
            s.log(1, 2100);   // more than one batch of rows
        }
        Session s(dir.path());
        const RecordingInfo before = s.rec.unfinished().value(0);
        QCOMPARE(before.rows, 2100);
        s.b.core.cmdClear_Click();
        s.log(3000, 3002);
        s.rec.flush();
        const QStringList table = tableOf(s.b);
        const QImage chart = reportChart(s.b.core);
        const qint64 meanwhile = s.rec.current().id;
        qint64 asked = 0, loaded = 0;
        bool cancelled = false;
        const QString said = s.rec.restore(before.id, [&](qint64 done, qint64 total) {
            if (done >= total)
                return true;   // the end: the dialog goes
            ++asked;
            loaded = s.b.core.m.GridRow - 1;
            return done >= total || (whileLoading && done <= before.entries);
        }, &cancelled);
        QCOMPARE(said, QString());
        QVERIFY(cancelled);
        QVERIFY(asked >= 1);
        if (whileLoading)
            QVERIFY2(loaded > 3 && loaded < 2100, qPrintable(QString::number(loaded)));
        QCOMPARE(tableOf(s.b), table);
        QCOMPARE(reportChart(s.b.core), chart);
        QCOMPARE(s.rec.current().id, meanwhile);
        const RecordingInfo after = *s.rec.store().recording(before.id);
        QCOMPARE(after.entries, before.entries);
        QCOMPARE(after.endedHow, QString());
        QCOMPARE(s.rec.unfinished().size(), 1);
        s.log(3003, 3003);   // the session logs on where it was
        s.rec.flush();
        QCOMPARE(s.rec.current().id, meanwhile);
        QCOMPARE(s.rec.current().rows, 4);
        QCOMPARE(s.rec.restore(before.id), QString());
        QCOMPARE(s.b.core.m.GridRow, 2105);
        QCOMPARE(s.rec.current().rows, 2104);
    }

    // SIGTERM and SIGHUP end the window as Exit does: exit status 0, its
    // recording ended "Exit" with its "end" as the chain's last entry.
    void signalEndsTheWindow_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void signalEndsTheWindow()
    {
        QFETCH(int, signal);
        QTemporaryDir dir;
        WindowOnLine line;
        QVERIFY(line.start(dir.path()));
        QProcess &window = line.window;
        const int master = line.master;
        // Readings once it polls, until the store holds some of them.
        int sent = 0;
        bool polling = false;
        qint64 rows = 0;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 20000 && rows < 5) {
            char drain[4096];
            while (read(master, drain, sizeof drain) > 0)
                polling = true;
            if (polling && sent < 200) {
                const QByteArray r = runReading(++sent);
                QCOMPARE(write(master, r.constData(), size_t(r.size())), ssize_t(r.size()));
            }
            QTest::qWait(20);
            RecordStore seen;
            if (seen.open(dir.path(), RecordStore::Access::Read) && !seen.list().isEmpty())
                rows = seen.list().first().rows;
        }
        QVERIFY(rows >= 5);
        kill(pid_t(window.processId()), signal);
        QVERIFY(window.waitForFinished(20000));
        QCOMPARE(window.exitStatus(), QProcess::NormalExit);
        QCOMPARE(window.exitCode(), 0);
        RecordStore store;
        QVERIFY(store.open(dir.path(), RecordStore::Access::Read));
        QCOMPARE(endsOf(store), QStringList{QStringLiteral("Exit")});
    }

    void tampering_data()
    {
        QTest::addColumn<QByteArray>("statement");
        QTest::addColumn<QString>("verdict");
        // Row entries are 4..13 (1 begin, 2 port... see below: found at run time).
        QTest::newRow("nothing") << QByteArray() << "intact";
        QTest::newRow("byte flipped")
            << QByteArray("UPDATE entry SET body = replace(body, '7.005', '7.006') WHERE seq = (SELECT seq FROM readings WHERE row = 5)")
            << "entry %5 was altered";
        QTest::newRow("row deleted") << QByteArray("DELETE FROM entry WHERE seq = (SELECT seq FROM readings WHERE row = 5)")
                                     << "entry %5 was removed";
        QTest::newRow("last entry deleted")
            << QByteArray("DELETE FROM entry WHERE seq = (SELECT max(seq) FROM entry)") << "entry %L was removed";
        QTest::newRow("rows swapped")
            << QByteArray("UPDATE entry SET seq = -1 WHERE seq = %5; UPDATE entry SET seq = %5 WHERE seq = %6; "
                          "UPDATE entry SET seq = %6 WHERE seq = -1")
            << "entries %5 and %6 were reordered";
        QTest::newRow("row inserted")
            << QByteArray("UPDATE entry SET seq = -seq - 1 WHERE seq >= %5; UPDATE entry SET seq = -seq WHERE seq < 0; "
                          "INSERT INTO entry SELECT recording, %5, kind, replace(body, '7.005', '7.055'), hash "
                          "FROM entry WHERE seq = %6")
            << "entry %5 was inserted";
    }
    void tampering()
    {
        QFETCH(QByteArray, statement);
        QFETCH(QString, verdict);
        QTemporaryDir dir;
        qint64 id = 0, seq5 = 0, last = 0;
        {
            Session s(dir.path());
            s.b.core.cmdClear_Click();
            s.log(1, 10);
            s.b.core.cmdExit_Click();
            id = s.rec.current().id;
            s.rec.store().forEachEntry(id, QString(), [&](const hashchain::Entry &e) {
                if (e.body.contains("\"row\":5,"))
                    seq5 = e.seq;
                last = e.seq;
                return true;
            });
        }
        QVERIFY(seq5 > 0);
        if (!statement.isEmpty())
            sql(dir.path(), statement.replace("%5", QByteArray::number(seq5)).replace("%6", QByteArray::number(seq5 + 1)).constData());
        QProcess log;
        log.start(QStringLiteral(TQ800_LOG), {QStringLiteral("--journal"), dir.path(), QStringLiteral("--verify"),
                                               QStringLiteral("--recording"), QString::number(id)});
        QVERIFY(log.waitForFinished());
        const QString said = QString::fromUtf8(log.readAllStandardOutput());
        verdict.replace(QStringLiteral("%5"), QString::number(seq5)).replace(QStringLiteral("%6"), QString::number(seq5 + 1));
        verdict.replace(QStringLiteral("%L"), QString::number(last));
        QVERIFY2(said.startsWith(QStringLiteral("%1: %2").arg(id).arg(verdict)), qPrintable(said));
        QCOMPARE(log.exitCode(), verdict == QLatin1String("intact") ? 0 : 1);

        // The report carries the fingerprint verify gives, or what broke.
        const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
        log.start(QStringLiteral(TQ800_LOG), {QStringLiteral("--journal"), dir.path(), QStringLiteral("--recording"),
                                               QString::number(id), QStringLiteral("--report"), pdf});
        QVERIFY(log.waitForFinished(60000));
        QCOMPARE(log.exitCode(), 0);
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished());
        const QString printed = QString::fromUtf8(text.readAllStandardOutput()).simplified();
        // Intact: the fingerprint of the report's own event, now the last.
        const QString expected = verdict == QLatin1String("intact")
            ? logOn(dir.path(), {QStringLiteral("--verify")}).first.section(QLatin1Char(' '), -1).trimmed()
            : verdict;
        QVERIFY2(printed.contains(expected), qPrintable(expected));
    }

    // A model frame carrying terminal escapes (a retitle, a clear, a tab) is
    // kept as sent, and shown, never obeyed: --list-recordings, --verify
    // and the report's text hold no control character of it, each shown as
    // the replacement character.
    void controlCharactersShownNotObeyed()
    {
        QTemporaryDir dir;
        {
            Logged l;
            Recorder rec(l.b.core, dir.path());
            QVERIFY(l.start());
            l.b.feed(QByteArray::fromStdString(sim::encodeModel("\x1b]0;owned\a\x1b[2J\tX") + sim::encodeSettings({})
                                               + sim::encodeEnd()));
            for (int i = 1; i <= 3; ++i)
                l.b.feed(runReading(i));
            l.session.stop();
            QCOMPARE(rec.store().list().value(0).model, QStringLiteral("\x1b]0;owned\a\x1b[2J\tX"));
        }
        auto run = [&](const QString &program, const QStringList &args) {
            QProcess p;
            p.start(program, args);
            return p.waitForFinished(60000) ? p.readAllStandardOutput() : QByteArray();
        };
        auto controls = [](const QByteArray &text) {
            QByteArray found;
            for (char c : text)
                if (uchar(c) < 0x20 && c != '\t' && c != '\n' && c != '\f')   // pdftotext ends a page with \f
                    found += c;
            return found;
        };
        const QByteArray listed = run(QStringLiteral(TQ800_LOG), {"--journal", dir.path(), "--list-recordings"});
        QVERIFY2(QString::fromUtf8(listed).contains(QStringLiteral("\uFFFD]0;owned\uFFFD\uFFFD[2J\uFFFDX")), listed.constData());
        QCOMPARE(listed.count('\t'), 5);   // the fields' own tabs, none from the model
        QCOMPARE(controls(listed), QByteArray());
        QCOMPARE(controls(run(QStringLiteral(TQ800_LOG), {"--journal", dir.path(), "--verify"})), QByteArray());
        const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
        run(QStringLiteral(TQ800_LOG), {"--journal", dir.path(), "--recording", "1", "--report", pdf});
        const QByteArray text = run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY2(QString::fromUtf8(text).contains(QStringLiteral("]0;owned")), text.constData());
        QCOMPARE(controls(text), QByteArray());
    }

    // An .xlsx export names its recording and carries the fingerprint of the
    // chain written before it; the export itself is the next entry.
    void exportCarriesFingerprint()
    {
        QTemporaryDir dir;
        qint64 id = 0;
        {
            Session s(dir.path());
            s.b.core.cmdClear_Click();
            s.log(1, 5);
            id = s.rec.current().id;
            s.b.prompts.saveAs = dir.filePath(QStringLiteral("x.xlsx"));
            s.b.core.cmdExport_Click();
        }
        QProcess unzip;
        unzip.start(QStringLiteral("python3"),
                    {QStringLiteral("-c"),
                     QStringLiteral("import sys, zipfile; "
                                    "sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read('docProps/custom.xml'))"),
                     dir.filePath(QStringLiteral("x.xlsx"))});
        QVERIFY(unzip.waitForFinished());
        const QByteArray props = unzip.readAllStandardOutput();
        RecordStore store;
        QVERIFY(store.open(dir.path()));
        hashchain::Entry exported;
        store.forEachEntry(id, QString(), [&](const hashchain::Entry &e) {
            exported = e;
            return !e.body.contains("\"event\":\"export\"");
        });
        QVERIFY2(exported.body.contains("\"event\":\"export\""), exported.body.constData());
        QVERIFY2(props.contains("<vt:lpwstr>" + exported.hash.toHex() + "</vt:lpwstr>"), props.constData());
        QVERIFY(props.contains("<vt:lpwstr>" + QByteArray::number(exported.seq) + "</vt:lpwstr>"));
        QVERIFY(props.contains("<vt:lpwstr>" + QByteArray::number(id) + "</vt:lpwstr>"));
        const auto [said, status] = logOn(dir.path(), {QStringLiteral("--check"), dir.filePath(QStringLiteral("x.xlsx"))});
        QVERIFY2(said.contains(QStringLiteral("matches recording %1, entry %2, written ").arg(id).arg(exported.seq)),
                 qPrintable(said));
        QCOMPARE(status, 0);
    }

    // What --verify names beyond the chain: the recording's row changed
    // against the identity and end its chain carries, a recording removed
    // (the next one's ledger names it; the last is missed by the store's
    // ids), and the last entry, its end, cut off with the row's count and
    // last hash made to fit.
    void rowAndLedgerTampering_data()
    {
        QTest::addColumn<QByteArray>("statement");
        QTest::addColumn<QString>("named");
        QTest::newRow("nothing") << QByteArray() << QString();
        QTest::newRow("user") << QByteArray("UPDATE recording SET os_user = 'mallory' WHERE id = 2")
                              << "2: does not match its chain: its row says user 'mallory'";
        QTest::newRow("host") << QByteArray("UPDATE recording SET host = 'elsewhere' WHERE id = 2")
                              << "2: does not match its chain: its row says host 'elsewhere'";
        QTest::newRow("model") << QByteArray("UPDATE recording SET model = 'X9' WHERE id = 2")
                               << "2: does not match its chain: its row says model 'X9'";
        QTest::newRow("start") << QByteArray("UPDATE recording SET started = '2020-01-01T00:00:00.000+00:00' WHERE id = 2")
                               << "its row says started '2020-01-01T00:00:00.000+00:00'";
        QTest::newRow("how it ended") << QByteArray("UPDATE recording SET ended_how = 'Export' WHERE id = 2")
                                      << "2: does not match its chain: its row says it ended 'Export', its chain 'cleared'";
        QTest::newRow("end cut off")
            << QByteArray("DELETE FROM entry WHERE recording = 3 AND seq = (SELECT entries FROM recording WHERE id = 3); "
                          "UPDATE recording SET entries = entries - 1, last_hash = (SELECT hash FROM entry WHERE "
                          "recording = 3 ORDER BY seq DESC LIMIT 1) WHERE id = 3")
            << "3: does not match its chain: its row says it ended (Exit, ";
        QTest::newRow("recording removed")
            << QByteArray("DELETE FROM entry WHERE recording = 2; DELETE FROM recording WHERE id = 2")
            << "3: does not match its chain: recording 2 before it (uuid ";
        QTest::newRow("last recording removed")
            << QByteArray("DELETE FROM entry WHERE recording = 3; DELETE FROM recording WHERE id = 3")
            << "store: recording 3, the last, was removed";
    }
    void rowAndLedgerTampering()
    {
        QFETCH(QByteArray, statement);
        QFETCH(QString, named);
        QTemporaryDir dir;
        {
            Session s(dir.path());
            for (int r = 0; r < 3; ++r) {
                s.b.core.cmdClear_Click();
                s.log(5 * r + 1, 5 * r + 5);
            }
            s.b.core.cmdExit_Click();
        }
        if (!statement.isEmpty())
            sql(dir.path(), statement.constData());
        const auto [said, status] = logOn(dir.path(), {QStringLiteral("--verify")});
        if (named.isEmpty()) {
            QVERIFY2(said.startsWith(QStringLiteral("1: intact")) && !said.contains(QStringLiteral("does not")), qPrintable(said));
            QCOMPARE(status, 0);
        } else {
            QVERIFY2(said.contains(named), qPrintable(said));
            QCOMPARE(status, 1);
        }
    }

    // Reports and exports of a stored recording are events of its chain; a
    // report and an .xlsx carry their event's fingerprint, the others their
    // SHA-256 in it, and --check finds each. A rewrite that keeps the chain
    // holding (every later hash recomputed) passes --verify, but not the
    // report and .xlsx made before it.
    void filesAnchoredInTheChain()
    {
        QTemporaryDir dir;
        {
            Session s(dir.path());
            s.b.core.cmdClear_Click();
            s.log(1, 5);
            s.b.core.cmdExit_Click();
        }
        const QStringList files{QStringLiteral("r.pdf"), QStringLiteral("x.xlsx"), QStringLiteral("x.csv"),
                                QStringLiteral("x.jsonl"), QStringLiteral("x.xls")};
        for (const QString &name : files) {
            const QString file = dir.filePath(name);
            const auto [made, madeStatus] = logOn(dir.path(), {QStringLiteral("--recording"), QStringLiteral("1"),
                                                               name.endsWith(QLatin1String(".pdf")) ? QStringLiteral("--report")
                                                                                                    : QStringLiteral("--export"),
                                                               file});
            QVERIFY2(madeStatus == 0, qPrintable(made));
            RecordStore store;
            QVERIFY(store.open(dir.path(), RecordStore::Access::Read));
            const auto rec = store.recording(1);
            const QJsonObject event = lastEntry(store, 1);
            QCOMPARE(event.value(QStringLiteral("event")).toString(),
                     name.endsWith(QLatin1String(".pdf")) ? QStringLiteral("report") : QStringLiteral("export"));
            QVERIFY(!event.value(QStringLiteral("by")).toObject().value(QStringLiteral("user")).toString().isEmpty());
            const auto [checked, checkStatus] = logOn(dir.path(), {QStringLiteral("--check"), file});
            QVERIFY2(checked.contains(QStringLiteral("matches recording 1, entry %1, written ").arg(rec->entries)),
                     qPrintable(checked));
            QCOMPARE(checkStatus, 0);
        }
        // Each entry's seq, kind and hash; the last is the recording's.
        const auto [listed, listStatus] =
            logOn(dir.path(), {QStringLiteral("--verify"), QStringLiteral("--recording"), QStringLiteral("1"),
                               QStringLiteral("--entries")});
        QCOMPARE(listStatus, 0);
        const QStringList lines = listed.trimmed().split(QLatin1Char('\n'));
        RecordStore store;
        QVERIFY(store.open(dir.path(), RecordStore::Access::Read));
        const auto rec = store.recording(1);
        QCOMPARE(lines.size(), rec->entries);
        QCOMPARE(lines.last(), QStringLiteral("%1\tevent\t%2").arg(rec->entries).arg(QString::fromLatin1(rec->lastHash.toHex())));
        store.close();

        rewrite(dir.path(), 1, "7.005", "7.006");
        QVERIFY(logOn(dir.path(), {QStringLiteral("--verify")}).first.startsWith(QStringLiteral("1: intact")));
        for (const QString &name : {QStringLiteral("r.pdf"), QStringLiteral("x.xlsx")}) {
            const auto [checked, status] = logOn(dir.path(), {QStringLiteral("--check"), dir.filePath(name)});
            QVERIFY2(checked.contains(QStringLiteral("does not match: the recording was changed after this file was made")),
                     qPrintable(checked));
            QCOMPARE(status, 1);
        }
    }

    // Two windows on one folder: neither offers the other's live recording;
    // a crashed one's is offered. Files that are not the store's stay as
    // they are and are never offered.
    void sharedFolder()
    {
        QTemporaryDir dir;
        for (const char *name : {"notes.csv", "notes.csv.open", "x.open"})
            QVERIFY(QFile(dir.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly));
        auto first = std::make_unique<Session>(dir.path());
        first->b.core.cmdClear_Click();
        first->log(1, 3);
        Session second(dir.path());
        QVERIFY(second.rec.unfinished().isEmpty());
        second.b.core.cmdClear_Click();
        second.log(1, 2);
        QVERIFY(first->rec.unfinished().isEmpty());
        const qint64 firstId = first->rec.current().id;
        first.reset();   // the first window crashes
        const QList<RecordingInfo> offered = second.rec.unfinished();
        QCOMPARE(offered.size(), 1);
        QCOMPARE(offered[0].id, firstId);
        for (const char *name : {"notes.csv", "notes.csv.open", "x.open"})
            QVERIFY(QFile::exists(dir.filePath(QString::fromLatin1(name))));
        // Closed from the offer: ended in its chain too, and offered no more.
        QCOMPARE(second.rec.closeRecording(firstId), QString());
        QCOMPARE(lastEntry(second.rec.store(), firstId).value(QStringLiteral("how")).toString(), QStringLiteral("closed"));
        QCOMPARE(second.rec.store().verify(*second.rec.store().recording(firstId)).kind, hashchain::Verdict::Kind::Intact);
        QVERIFY(second.rec.unfinished().isEmpty());
    }

    // A full disk and a read-only one: logging goes on, the trouble is told
    // once with the system's reason and recorded, and the held rows go in,
    // in order, when the store can take them.
    void diskTrouble_data()
    {
        QTest::addColumn<QByteArray>("options");
        QTest::addColumn<QString>("reason");
        QTest::newRow("full") << QByteArray("size=160k") << "No space left on device";
        QTest::newRow("read-only") << QByteArray("ro") << "Read-only file system";
    }
    void diskTrouble()
    {
        QFETCH(QByteArray, options);
        QFETCH(QString, reason);
        if (!isRoot())
            QSKIP("mounting a small file system needs root");
        QTemporaryDir dir;
        QVERIFY(mount("tmpfs", dir.path().toLocal8Bit(), "tmpfs", 0, "size=4m") == 0);
        auto unmount = qScopeGuard([&] { umount2(dir.path().toLocal8Bit(), MNT_DETACH); });
        // A read-only disk from the start (the kernel refuses to make one
        // read-only under a file open for writing).
        if (options == "ro")
            QVERIFY(mount("tmpfs", dir.path().toLocal8Bit(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0);
        Session s(dir.path());
        QSignalSpy failed(&s.rec, &Recorder::storeFailed), recovered(&s.rec, &Recorder::storeRecovered);
        s.b.core.cmdClear_Click();
        s.log(1, 20);
        // The trouble: the disk fills up under the store.
        if (options != "ro") {
            QFile filler(dir.filePath(QStringLiteral("filler")));
            QVERIFY(filler.open(QIODevice::WriteOnly));
            const QByteArray block(64 * 1024, 'x');
            while (filler.write(block) == block.size()) {}
        }
        s.log(21, 3000);
        QCOMPARE(s.b.core.m.GridRow, 3001);   // every reading landed in the table
        QCOMPARE(failed.size(), 1);
        QVERIFY2(failed[0][0].toString().contains(reason), qPrintable(failed[0][0].toString()));
        QVERIFY(s.rec.failing());
        // Room again: the held rows go in at the next try.
        if (options == "ro")
            QVERIFY(mount("tmpfs", dir.path().toLocal8Bit(), "tmpfs", MS_REMOUNT, nullptr) == 0);
        else
            QVERIFY(QFile::remove(dir.filePath(QStringLiteral("filler"))));
        s.rec.flush();
        QCOMPARE(recovered.size(), 1);
        s.b.core.cmdExit_Click();
        RecordStore &store = s.rec.store();
        const RecordingInfo rec = *store.recording(s.rec.current().id);
        QCOMPARE(rec.rows, 3000);
        QCOMPARE(store.verify(rec).kind, hashchain::Verdict::Kind::Intact);
        int expect = 1;
        QStringList events;
        store.forEachEntry(rec.id, QString(), [&](const hashchain::Entry &e) {
            if (e.kind == QLatin1String("row"))
                return e.body.contains("\"row\":" + QByteArray::number(expect++) + ",");
            events << QString::fromUtf8(e.body).section(QLatin1Char('"'), 3, 3);
            return true;
        });
        QCOMPARE(expect, 3001);
        QVERIFY(events.contains(QStringLiteral("store_failed")));
        QVERIFY(events.contains(QStringLiteral("store_resumed")));
    }

    // The window killed at random moments of a burst: every row it has shown
    // is in the store, in order, whole; a restore shows the same table.
    void killedMidBurst()
    {
        QTemporaryDir dir;
        QByteArray burst;
        for (int i = 1; i <= 4000; ++i)
            burst += runReading(i);
        QRandomGenerator rng(20261207);
        for (int round = 0; round < 20; ++round) {
            WindowOnLine line;
            QVERIFY(line.start(dir.path()));
            QProcess &window = line.window;
            const int master = line.master;
            const int killAt = 200 + int(rng.bounded(3000));
            // The burst starts once the window polls (it is up and reading).
            // It goes on until the window has put this round's recording in
            // the store, however slowly it runs (a sanitizer build), so
            // every round kills it in the middle of a recording.
            qsizetype sent = 0;
            bool polling = false, recorded = false;
            QElapsedTimer t;
            t.start();
            while (t.elapsed() < 20000 && (sent < killAt * 20 || !recorded)) {
                if (!recorded && sent >= killAt * 20) {
                    RecordStore seen;
                    recorded = seen.open(dir.path()) && seen.list().size() > round;
                }
                char drain[4096];
                while (read(master, drain, sizeof drain) > 0)
                    polling = true;
                const ssize_t n = polling && sent < burst.size()
                    ? write(master, burst.constData() + sent, size_t(qMin<qsizetype>(512, burst.size() - sent)))
                    : 0;
                if (n > 0)
                    sent += n;
                QTest::qWait(1);
            }
            QTest::qWait(int(rng.bounded(50)));
            kill(pid_t(window.processId()), SIGKILL);
            window.waitForFinished();
        }
        // Every recording holds rows 1, 2, 3, ... each its own reading.
        RecordStore store;
        QVERIFY(store.open(dir.path()));
        const QList<RecordingInfo> recs = store.list();
        QVERIFY(recs.size() >= 15);
        for (const RecordingInfo &r : recs) {
            int expect = 1;
            store.forEachEntry(r.id, QStringLiteral("row"), [&](const hashchain::Entry &e) {
                const QByteArray value = QByteArray::number(7 + (expect % 100) / 1000.0, 'f', 3);
                if (!e.body.contains("\"row\":" + QByteArray::number(expect) + ",") || !e.body.contains(value))
                    return false;
                ++expect;
                return true;
            });
            QCOMPARE(expect - 1, int(r.rows));
            QCOMPARE(store.verify(r).kind, hashchain::Verdict::Kind::EndsEarly);
        }
        // The last one, restored, is the table it was.
        Session s(dir.path());
        QCOMPARE(s.rec.restore(recs.last().id), QString());
        QCOMPARE(s.b.core.m.GridRow, int(recs.last().rows) + 1);
        QCOMPARE(s.b.rowText(int(recs.last().rows)).section(QLatin1Char('|'), 0, 0), QString::number(recs.last().rows));
    }

    // Several recordings of a real store, listed as the Recordings dialog
    // lists them, and filtered by a text, the days, the model and the sample.
    void recordingsListed_data()
    {
        columns<QString, QString, QString, QString, QString, QList<qint64>>("text", "from", "to", "model", "sample", "ids");
        dataRow("everything", QString(), QString(), QString(), QString(), QString(), QList<qint64>{1, 2, 3});
        dataRow("a text in any column", QString("cleared"), QString(), QString(), QString(), QString(), QList<qint64>{1, 2});
        dataRow("a model, any case", QString(), QString(), QString(), QString("01a2"), QString(), QList<qint64>{2, 3});
        dataRow("a sample", QString(), QString(), QString(), QString(), QString("buffer"), QList<qint64>{3});
        dataRow("from a day after", QString(), QString("2100-01-01"), QString(), QString(), QString(), QList<qint64>{});
        dataRow("up to a day before", QString(), QString(), QString("2000-01-01"), QString(), QString(), QList<qint64>{});
        dataRow("a day that is not one does not filter", QString(), QString("2026-13-45"), QString(), QString(), QString(),
                QList<qint64>{1, 2, 3});
    }
    void recordingsListed()
    {
        auto [text, from, to, model, sample, ids] =
            fetch<QString, QString, QString, QString, QString, QList<qint64>>("text", "from", "to", "model", "sample", "ids");
        QTemporaryDir dir;
        {
            Session s(dir.path());
            s.b.core.cmdClear_Click();
            s.log(1, 3);
            s.b.core.cmdClear_Click();   // 1 ends "cleared"
            s.b.feed(QByteArray::fromStdString(sim::encodeModel("01A2.1")));
            s.b.core.cmdClear_Click();
            s.log(4, 5);
            s.b.core.cmdClear_Click();
            s.log(6, 9);
            s.b.core.cmdExit_Click();
        }
        RecordStore store;
        QCOMPARE(storelisting::openForReading(store, dir.path()), QString());
        QString error;
        RecordingsModel recordings;
        recordings.setRecordings(storelisting::recordings(store, error));
        QCOMPARE(error, QString());
        QCOMPARE(recordings.rowCount(), 3);
        recordings.setAnnotations(3, QStringLiteral("Buffer 7"), QString());
        // The verify state is known only once asked for.
        const QModelIndex verified = recordings.index(2, RecordingsModel::Verified);
        QCOMPARE(verified.data().toString(), QStringLiteral("not checked"));
        const hashchain::Verdict v = store.verify(*recordings.recording(3));
        recordings.setVerdict(3, v.text(), true);
        QVERIFY2(verified.data().toString().startsWith(QStringLiteral("intact")), qPrintable(verified.data().toString()));

        RecordingsFilter filter;
        filter.setSourceModel(&recordings);
        filter.setText(text);
        filter.setDays(QDate::fromString(from, Qt::ISODate), QDate::fromString(to, Qt::ISODate));
        filter.setModelText(model);
        filter.setSample(sample);
        QList<qint64> shown;
        for (int r = 0; r < filter.rowCount(); ++r)
            shown << filter.index(r, 0).data(RecordingsModel::IdRole).toLongLong();
        QCOMPARE(shown, ids);
    }

    // The report of a stored recording lists its audit trail in the order
    // things happened, each local time on one line.
    void reportAuditTrailInOrder()
    {
        QTemporaryDir dir;
        {
            Logged l;
            Recorder rec(l.b.core, dir.path());
            QVERIFY(l.start());
            l.b.feed(QByteArray::fromStdString(sim::encodeModel("01A2.1") + sim::encodeSettings({}) + sim::encodeEnd()));
            for (int i = 1; i <= 3; ++i)
                l.b.feed(runReading(i));
            l.session.stop();
        }
        const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
        QProcess log;
        log.start(QStringLiteral(TQ800_LOG), {"--journal", dir.path(), "--recording", "1", "--report", pdf});
        QVERIFY(log.waitForFinished(60000));
        QCOMPARE(log.exitCode(), 0);
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished());
        const QString printed = QString::fromUtf8(text.readAllStandardOutput());
        const QString trail = printed.mid(printed.indexOf(QStringLiteral("Audit trail")));
        // Every entry's line begins with its time, offset and all.
        const QRegularExpression line(QStringLiteral("^\\s*(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} (?:[+-]\\d\\d:\\d\\d|UTC))\\s+(\\S.*?)\\s{2,}"),
                                      QRegularExpression::MultilineOption);
        QStringList names, times;
        for (auto it = line.globalMatch(trail); it.hasNext();) {
            const auto m = it.next();
            times << m.captured(1);
            names << m.captured(2);
        }
        QVERIFY2(names.size() >= 5, qPrintable(trail));
        QVERIFY2(names.indexOf(QStringLiteral("program start")) == 0, qPrintable(names.join(u'|')));
        QVERIFY2(names.indexOf(QStringLiteral("port opened")) < names.indexOf(QStringLiteral("recording began")),
                 qPrintable(names.join(u'|')));
        QVERIFY2(names.indexOf(QStringLiteral("model frame")) < names.indexOf(QStringLiteral("recording began")),
                 qPrintable(names.join(u'|')));
        QStringList sorted = times;
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(times, sorted);
        // A settings frame says what it brought; the raw fields are not printed.
        QVERIFY2(trail.contains(QStringLiteral("in force at the start")) || trail.contains(QStringLiteral("received: ")),
                 qPrintable(trail));
        QVERIFY(!printed.contains(QStringLiteral("CalSlope")));
    }
};

QTEST_MAIN(TestRecord)
#include "tst_record.moc"
