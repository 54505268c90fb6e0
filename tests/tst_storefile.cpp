// The recordings store's file: it says what it is (application id "TQ80",
// its layout's version), a store of the first layout is brought up to date
// without a row lost or a chain broken, and a store of a newer version or
// another program's database is refused and left exactly as it was.
#include "record/LiveLock.h"
#include "record/Recorder.h"
#include "record/SqliteDb.h"
#include "record/StoreSchema.h"
#include "support/FakeMeter.h"
#include "support/Files.h"
#include "support/OwnHome.h"
#include "support/Readings.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <random>
#include <unistd.h>

namespace {

struct Session
{
    Bench b;
    Recorder rec;
    explicit Session(const QString &folder) : rec(b.core, folder) {}
};

// The rows of `sql` on the store in `folder`, each row's columns "|"-joined.
QStringList query(const QString &folder, const QByteArray &sql)
{
    SqliteDb db;
    QStringList rows;
    if (!db.open(RecordStore::fileIn(folder)))
        return {db.error()};
    SqliteStatement s(db, sql.constData());
    while (s.step()) {
        QStringList cols;
        for (int c = 0; c < s.columns(); ++c)
            cols << (s.isNull(c) ? QStringLiteral("NULL") : s.text(c));
        rows << cols.join(QLatin1Char('|'));
    }
    if (s.failed())
        rows << db.error();
    return rows;
}

// Runs tq800-log on the store in `folder`; `as` a program and its arguments
// to run it through (another user's).
QString runLog(const QString &folder, const QStringList &args, int *status = nullptr, const QStringList &as = {})
{
    QProcess log;
    const QStringList logArgs = QStringList{QStringLiteral("--journal"), folder} + args;
    if (as.isEmpty())
        log.start(QStringLiteral(TQ800_LOG), logArgs);
    else
        log.start(as[0], as.mid(1) + QStringList{QStringLiteral(TQ800_LOG)} + logArgs);
    log.waitForFinished(60000);
    if (status)
        *status = log.exitCode();
    return QString::fromUtf8(log.readAllStandardOutput() + log.readAllStandardError());
}

// A store of one ended recording of `rows` readings, as the recorder writes it.
void makeStore(const QString &folder, int rows)
{
    Session s(folder);
    s.b.core.cmdClear_Click();
    for (int i = 1; i <= rows; ++i)
        s.b.feed(runReading(i));
    s.rec.finishRun();
}

// Pages `from` to `to` (1-based) of the SQLite file overwritten with a fixed
// pattern of random bytes, the page size read from its header.
bool damagePages(const QString &file, int from, int to)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadWrite))
        return false;
    const QByteArray header = f.read(100);
    const quint16 field = qFromBigEndian<quint16>(header.constData() + 16);
    const qint64 pageSize = field == 1 ? 65536 : field;
    if (f.size() < to * pageSize)
        return false;
    std::mt19937 bytes(800);
    QByteArray junk(pageSize, Qt::Uninitialized);
    for (int p = from; p <= to; ++p) {
        for (char &c : junk)
            c = char(bytes());
        if (!f.seek((p - 1) * pageSize) || f.write(junk) != pageSize)
            return false;
    }
    return true;
}

const QStringList kReaders[] = {
    {QStringLiteral("--list-recordings")},
    {QStringLiteral("--verify")},
    {QStringLiteral("--recording"), QStringLiteral("1"), QStringLiteral("--verify")},
};

} // namespace

class TestStoreFile : public QObject
{
    Q_OBJECT
public:
    static void initMain() { useOwnHome(); }

private slots:
    // A store the logger wrote before the store said what it was: made once
    // by data/make_legacy_store.py with the tq800-log of commit 1ac03e3 (32
    // KB). Run 1 logged recording 1, the meter announced itself again, the
    // logger pressed Clear, recording 2, and was killed; run 2, on the same
    // port, logged recording 3 and ended by Exit.
    void legacyStore()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(QFINDTESTDATA("data/legacy-store.sqlite"), RecordStore::fileIn(dir.path())));
        const QByteArray before = readFile(RecordStore::fileIn(dir.path()));
        const QStringList entries = query(dir.path(), "SELECT recording, seq, kind, body, hex(hash) FROM entry");
        QCOMPARE(entries.size(), 47);

        // Read as it is: recording 1 ended when the next of its run began
        // (run 2's recording, on the same port, does not end recording 2),
        // and reading changes nothing.
        const QString listed = runLog(dir.path(), {QStringLiteral("--list-recordings")});
        QVERIFY2(QRegularExpression(QStringLiteral("^1\\t\\S+\\tcleared \\S+\\t.*\\n2\\t\\S+\\tunfinished\\t.*\\n"
                                                   "3\\t\\S+\\tExit \\S+\\t"))
                     .match(listed).hasMatch(),
                 qPrintable(listed));
        QCOMPARE(readFile(RecordStore::fileIn(dir.path())), before);

        // Opened by a program that records: brought up to date, every entry
        // as it was, every chain intact, and only the cut-off one offered.
        Session s(dir.path());
        QCOMPARE(query(dir.path(), "PRAGMA application_id"), QStringList{QString::number(storeschema::kApplicationId)});
        QCOMPARE(query(dir.path(), "PRAGMA user_version"), QStringList{QString::number(storeschema::kVersion)});
        QCOMPARE(query(dir.path(), "SELECT recording, seq, kind, body, hex(hash) FROM entry"), entries);
        const QList<RecordingInfo> offered = s.rec.unfinished();
        QCOMPARE(offered.size(), 1);
        QCOMPARE(offered[0].id, qint64(2));
        int status = -1;
        const QString verified = runLog(dir.path(), {QStringLiteral("--verify")}, &status);
        QVERIFY2(verified.startsWith(QStringLiteral("1: intact: 18 entries")) && verified.contains(QStringLiteral("\n2: ends early: 12"))
                     && verified.contains(QStringLiteral("\n3: intact: 17 entries"))
                     && verified.count(QStringLiteral("written before its chain held its identity")) == 3,
                 qPrintable(verified));
        QCOMPARE(status, 0);
        // The older rows in the new view: the time received, live, no numbers.
        QCOMPARE(query(dir.path(), "SELECT count(*), count(value), count(temperature), sum(time = received), "
                                   "sum(source = 'live'), sum(mode = 1) FROM readings"),
                 QStringList{QStringLiteral("30|0|0|30|30|30")});
        // And the cut-off one restores.
        QCOMPARE(s.rec.restore(2), QString());
        QCOMPARE(s.b.core.m.GridRow, 11);
    }

    // The view's time is the text as stored, which SQLite's date functions
    // read with its offset (giving UTC): readings group by minute.
    void readingsByMinute()
    {
        QTemporaryDir dir;
        RecordStore store;
        QVERIFY(store.open(dir.path()));
        QVERIFY(store.db().exec(R"sql(
INSERT INTO recording(id, uuid, started) VALUES(1, 'a', '2026-12-07T10:15:00+01:00'), (2, 'b', '2026-12-07T10:20:00Z');
INSERT INTO entry VALUES(1, 1, 'event', '{"event":"begin","cause":"Clear"}', x'00'),
  (1, 2, 'row', '{"row":1,"received":"2026-12-07T10:15:59.900+01:00","time":"2026-12-07T10:15:01.000+01:00","source":"live","value":{"number":7.0,"unit":"pH"},"temperature":{"number":25.0,"unit":"°C"}}', x'00'),
  (1, 3, 'row', '{"row":2,"received":"2026-12-07T10:16:00.100+01:00","time":"2026-12-07T10:15:59.000+01:00","source":"live","value":{"number":7.2,"unit":"pH"}}', x'00'),
  (1, 4, 'row', '{"row":3,"received":"2026-12-07T10:16:30.000+01:00","time":"2026-12-07T10:16:30.000+01:00","source":"live","value":{"number":8.0,"unit":"pH"}}', x'00'),
  (2, 1, 'event', '{"event":"begin","cause":"frame S"}', x'00'),
  (2, 2, 'row', '{"row":1,"received":"2026-12-07T10:20:00.000Z"}', x'00');
)sql"));
        QCOMPARE(query(dir.path(), "SELECT strftime('%Y-%m-%dT%H:%M', time), round(avg(value), 3), count(*) FROM readings "
                                   "WHERE recording = 1 GROUP BY strftime('%Y-%m-%dT%H:%M', time)"),
                 (QStringList{"2026-12-07T09:15|7.1|2", "2026-12-07T09:16|8.0|1"}));
        QCOMPARE(query(dir.path(), "SELECT time, source, unit, temperature, temperature_unit FROM readings WHERE seq = 2 "
                                   "ORDER BY recording"),
                 (QStringList{"2026-12-07T10:15:01.000+01:00|live|pH|25.0|°C", "2026-12-07T10:20:00.000Z|memory|NULL|NULL|NULL"}));
    }

    // A lock file no process holds (its program crashed) is removed at the
    // next start; one a running program holds stays, and so do other files.
    void staleLockFiles()
    {
        QTemporaryDir dir;
        QFile stale(LiveLock::fileFor(dir.path(), QStringLiteral("dead")));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        LiveLock held;
        QVERIFY(held.acquire(dir.path(), QStringLiteral("alive")));
        QFile other(dir.filePath(QStringLiteral("notes.live")));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.close();
        Session s(dir.path());
        QVERIFY(!stale.exists());
        QVERIFY(QFileInfo::exists(LiveLock::fileFor(dir.path(), QStringLiteral("alive"))));
        QVERIFY(LiveLock::isLive(dir.path(), QStringLiteral("alive")));
        QVERIFY(other.exists());
    }

    // Never written into, and no row held for it: another program's file or
    // a newer store is left as it was (not a byte changed, no -wal or -shm
    // made beside it) and the store goes on beside it under the next name;
    // a file that is not SQLite at all is moved aside, never deleted.
    void refused_data()
    {
        QTest::addColumn<QByteArray>("make");
        QTest::addColumn<QString>("said");
        QTest::addColumn<bool>("aside");
        QTest::newRow("a newer store") << "PRAGMA application_id = " + QByteArray::number(storeschema::kApplicationId)
                + "; PRAGMA user_version = 99; CREATE TABLE recording(id INTEGER PRIMARY KEY, colour TEXT);"
                                       << "newer TQ800 (store version 99; this program knows versions up to 3)" << false;
        QTest::newRow("another application id")
            << QByteArray("PRAGMA application_id = 42; CREATE TABLE recording(id INTEGER PRIMARY KEY);")
            << "is not a TQ800 recordings store" << false;
        QTest::newRow("another program's tables")
            << QByteArray("PRAGMA journal_mode = WAL; CREATE TABLE notes(line TEXT); INSERT INTO notes VALUES('x');")
            << "is not a TQ800 recordings store" << false;
        QTest::newRow("not SQLite") << QByteArray() << "could not be read and was moved aside to" << true;
    }
    void refused()
    {
        QFETCH(QByteArray, make);
        QFETCH(QString, said);
        QFETCH(bool, aside);
        QTemporaryDir dir;
        const QString file = RecordStore::fileIn(dir.path());
        if (make.isEmpty()) {
            QFile text(file);
            QVERIFY(text.open(QIODevice::WriteOnly));
            text.write(QByteArray(200, 'x'));
        } else {
            SqliteDb db;
            QVERIFY(db.open(file));
            QVERIFY2(db.exec(make.constData()), qPrintable(db.error()));
        }
        const QByteArray before = readFile(file);
        const QStringList files = entries(dir.path());

        // A reader refuses it, naming why.
        RecordStore reader;
        if (!aside) {
            QVERIFY(!reader.open(dir.path(), RecordStore::Access::Read));
            QVERIFY2(reader.error().contains(said), qPrintable(reader.error()));
        }
        QString kept;
        {
            // A window logging: its rows go to a store of its own.
            Session s(dir.path());
            QSignalSpy failed(&s.rec, &Recorder::storeFailed);
            s.b.core.cmdClear_Click();
            s.b.feed(runReading(1));
            QCOMPARE(failed.size(), 0);
            QVERIFY2(aside == s.rec.startNotice().contains(said), qPrintable(s.rec.startNotice()));
            kept = s.rec.store().file();
            s.b.core.cmdExit_Click();
        }
        if (aside) {
            QCOMPARE(kept, file);
            const QStringList moved = QDir(dir.path()).entryList({"recordings.sqlite.unreadable-*"});
            QCOMPARE(moved.size(), 1);
            QCOMPARE(readFile(dir.filePath(moved[0])), before);
        } else {
            QCOMPARE(QFileInfo(kept).fileName(), QStringLiteral("recordings.2.sqlite"));
            QCOMPARE(readFile(file), before);
            for (const QString &f : files)
                QVERIFY(entries(dir.path()).contains(f));
            QVERIFY(!QFileInfo::exists(file + "-wal") || files.contains("recordings.sqlite-wal"));
        }
        RecordStore store;
        QVERIFY2(store.open(dir.path(), RecordStore::Access::Read), qPrintable(store.error()));
        QCOMPARE(store.file(), kept);
        QCOMPARE(store.list().size(), 1);
        QCOMPARE(store.list()[0].rows, 1);
    }

    // A damaged file: every way of reading the recording names the damage
    // and fails; nothing is written as if the unreadable rows were empty,
    // and the check tells unreadable entries from removed ones.
    void damaged_data()
    {
        // Pages 2 to 7 hold the list of recordings, the roots of the
        // entries and of the index of events; then the entries, the first
        // events among them (a 200-row store has about 28 pages of 4 KiB):
        // from page 12 on, rows only.
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("from");
        QTest::addColumn<QString>("said");
        QTest::addColumn<QString>("made");
        const QStringList csv{"--recording", "1", "--export", "x.csv"};
        const QStringList xlsx{"--recording", "1", "--export", "x.xlsx"};
        const QStringList jsonl{"--recording", "1", "--export", "x.jsonl"};
        const QStringList pdf{"--recording", "1", "--report", "x.pdf"};
        const QStringList verify{"--verify"};
        const QStringList verifyOne{"--verify", "--recording", "1"};
        QTest::newRow("list: export .csv") << csv << 2 << "reading recording 1: " << "x.csv";
        QTest::newRow("list: verify") << verify << 2 << "unreadable: reading the list of recordings" << "";
        QTest::newRow("entries: export .csv") << csv << 12 << "reading recording 1's row " << "x.csv";
        QTest::newRow("entries: export .xlsx") << xlsx << 12 << "reading recording 1's row " << "x.xlsx";
        QTest::newRow("entries: export .jsonl") << jsonl << 12 << "reading recording 1's entries after entry " << "x.jsonl";
        QTest::newRow("entries: report") << pdf << 12 << "reading recording 1's entries after entry " << "x.pdf";
        QTest::newRow("entries: verify") << verify << 12 << "1: entries " << "";
        QTest::newRow("entries: verify one") << verifyOne << 12 << " to 205 are unreadable: " << "";
    }
    void damaged()
    {
        QFETCH(QStringList, args);
        QFETCH(int, from);
        QFETCH(QString, said);
        QFETCH(QString, made);
        QTemporaryDir dir, out;
        makeStore(dir.path(), 200);
        const QString file = RecordStore::fileIn(dir.path());
        QVERIFY(damagePages(file, from, from + 3));
        const QByteArray before = readFile(file);
        for (QString &a : args)
            if (a.startsWith(QLatin1String("x.")))
                a = out.filePath(a);

        int status = 0;
        const QString output = runLog(dir.path(), args, &status);
        QVERIFY2(status != 0, qPrintable(output));
        QVERIFY2(output.contains(said) && output.contains(QLatin1String("database disk image is malformed")),
                 qPrintable(output));
        QVERIFY2(!output.contains(QLatin1String("removed")) && !output.contains(QLatin1String("rows exported")),
                 qPrintable(output));
        if (!made.isEmpty())
            QVERIFY2(!QFile::exists(out.filePath(made)), "a file of blank rows was made");
        QCOMPARE(readFile(file), before);
        QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("recordings.sqlite")});
    }

    // A cut-off recording the store cannot give back whole is not restored,
    // and what the window was recording goes on.
    void damagedRestore()
    {
        QTemporaryDir dir;
        {
            Session s(dir.path());
            s.b.core.cmdClear_Click();
            for (int i = 1; i <= 200; ++i)
                s.b.feed(runReading(i));
        }   // killed: no Exit
        QVERIFY(damagePages(RecordStore::fileIn(dir.path()), 8, 11));
        Session s(dir.path());
        const QString said = s.rec.restore(1);
        QVERIFY2(said.startsWith(QLatin1String("recording 1 cannot be restored: entries ")) && said.contains(" are unreadable: "),
                 qPrintable(said));
        QCOMPARE(s.b.core.m.GridRow, 1);
    }

    // A store of ours whose recording table lacks a column (another
    // version, someone's hand): the reason, never "nothing" or "no such
    // recording".
    void missingColumn_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("list") << kReaders[0];
        QTest::newRow("verify") << kReaders[1];
        QTest::newRow("verify one") << kReaders[2];
        QTest::newRow("export") << QStringList{"--recording", "1", "--export", "x.csv"};
    }
    void missingColumn()
    {
        QFETCH(QStringList, args);
        QTemporaryDir dir;
        makeStore(dir.path(), 5);
        {
            SqliteDb db;
            QVERIFY(db.open(RecordStore::fileIn(dir.path())));
            QVERIFY2(db.exec("ALTER TABLE recording DROP COLUMN model"), qPrintable(db.error()));
        }
        for (QString &a : args)
            if (a.startsWith(QLatin1String("x.")))
                a = dir.filePath(a);
        int status = 0;
        const QString output = runLog(dir.path(), args, &status);
        QCOMPARE(status, 1);
        QVERIFY2(output.contains(QLatin1String("no such column: model")), qPrintable(output));
    }

    // An auditor's reading of an archived copy: as another user, on a
    // read-only disk, and beside a live writer. Every reader works, and
    // neither a byte of the store nor the folder's contents change.
    void readOnly_data()
    {
        QTest::addColumn<QString>("where");
        QTest::newRow("another user's copy") << "user";
        QTest::newRow("read-only mount") << "mount";
        QTest::newRow("a live writer's store") << "live";
    }
    void readOnly()
    {
        QFETCH(QString, where);
        QTemporaryDir made;
        makeStore(made.path(), 5);
        QTemporaryDir dir(QStringLiteral("/tmp/tq800-ro-XXXXXX"));
        QTemporaryDir out(QStringLiteral("/tmp/tq800-out-XXXXXX"));
        const QString file = RecordStore::fileIn(dir.path());
        QStringList as;
        bool mounted = false;
        const auto unmount = qScopeGuard([&] {
            if (mounted)
                QProcess::execute("umount", {"-l", dir.path()});   // lazy: never left behind
        });
        std::unique_ptr<Session> live;
        if (where == QLatin1String("live")) {
            live = std::make_unique<Session>(dir.path());
            live->b.core.cmdClear_Click();
            for (int i = 1; i <= 5; ++i)
                live->b.feed(runReading(i));
            live->rec.flush();
        } else {
            if (geteuid() != 0)
                QSKIP("reading as another user or from a mounted file system needs root");
            if (where == QLatin1String("mount")) {
                mounted = QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=1m", "tmpfs", dir.path()}) == 0;
                if (!mounted)
                    QSKIP("tmpfs could not be mounted");
            }
            QVERIFY(QFile::copy(RecordStore::fileIn(made.path()), file));
            QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                                  | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
            QFile::setPermissions(out.path(), QFile::Permissions(0x7777));
            if (mounted)
                QCOMPARE(QProcess::execute("mount", {"-o", "remount,ro", dir.path()}), 0);
            else
                as = QStringList{"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
        }
        const QByteArray before = readFile(file);
        const QStringList files = entries(dir.path());

        const QStringList exportArgs{"--recording", "1", "--export", out.filePath("x.csv")};
        for (const QStringList &args : {kReaders[0], kReaders[1], kReaders[2], exportArgs}) {
            int status = -1;
            const QString output = runLog(dir.path(), args, &status, as);
            QVERIFY2(status == 0, qPrintable(args.join(' ') + ": " + output));
            if (args == kReaders[0])
                QVERIFY2(output.startsWith(QLatin1String("1\t")) && output.contains(QLatin1String("\t5 rows")),
                         qPrintable(output));
        }
        QVERIFY(readFile(out.filePath("x.csv")).contains("7.005"));
        QCOMPARE(entries(dir.path()), files);
        if (!live)
            QCOMPARE(readFile(file), before);
    }
};

QTEST_MAIN(TestStoreFile)
#include "tst_storefile.moc"
