// The recordings store's file: it says what it is (application id "TQ80",
// its layout's version), a store of the first layout is brought up to date
// without a row lost or a chain broken, and a store of a newer version or
// another program's database is refused and left exactly as it was.
#include "record/Recorder.h"
#include "record/SqliteDb.h"
#include "record/StoreSchema.h"
#include "support/FakeMeter.h"
#include "support/Files.h"
#include "support/OwnHome.h"
#include "support/Readings.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

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

QString runLog(const QString &folder, const QStringList &args, int *status = nullptr)
{
    QProcess log;
    log.start(QStringLiteral(TQ800_LOG), QStringList{QStringLiteral("--journal"), folder} + args);
    log.waitForFinished(60000);
    if (status)
        *status = log.exitCode();
    return QString::fromUtf8(log.readAllStandardOutput() + log.readAllStandardError());
}

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
                     && verified.contains(QStringLiteral("\n3: intact: 17 entries")),
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

    // Refused, whoever opens it, and left as it was: not a byte changed,
    // no -wal or -shm made beside it.
    void refused_data()
    {
        QTest::addColumn<QByteArray>("make");
        QTest::addColumn<QString>("said");
        QTest::newRow("a newer store") << "PRAGMA application_id = " + QByteArray::number(storeschema::kApplicationId)
                + "; PRAGMA user_version = 99; CREATE TABLE recording(id INTEGER PRIMARY KEY, colour TEXT);"
                                       << "newer TQ800 (store version 99; this program knows versions up to 2)";
        QTest::newRow("another application id")
            << QByteArray("PRAGMA application_id = 42; CREATE TABLE recording(id INTEGER PRIMARY KEY);")
            << "is not a TQ800 recordings store";
        QTest::newRow("another program's tables")
            << QByteArray("PRAGMA journal_mode = WAL; CREATE TABLE notes(line TEXT); INSERT INTO notes VALUES('x');")
            << "is not a TQ800 recordings store";
        QTest::newRow("not SQLite") << QByteArray() << "is not a TQ800 recordings store";
    }
    void refused()
    {
        QFETCH(QByteArray, make);
        QFETCH(QString, said);
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

        RecordStore store;
        QVERIFY(!store.open(dir.path()));
        QVERIFY2(store.error().contains(said), qPrintable(store.error()));
        {
            // A window logging into it: told, holding its rows, never writing.
            Session s(dir.path());
            QSignalSpy failed(&s.rec, &Recorder::storeFailed);
            s.b.core.cmdClear_Click();
            s.b.feed(runReading(1));
            QCOMPARE(failed.size(), 1);
            QVERIFY2(failed[0][0].toString().contains(said), qPrintable(failed[0][0].toString()));
        }
        int status = 0;
        const QString listed = runLog(dir.path(), {QStringLiteral("--list-recordings")}, &status);
        QCOMPARE(status, 1);
        QVERIFY2(listed.contains(said), qPrintable(listed));

        QCOMPARE(readFile(file), before);
        QCOMPARE(entries(dir.path()), files);
    }
};

QTEST_MAIN(TestStoreFile)
#include "tst_storefile.moc"
