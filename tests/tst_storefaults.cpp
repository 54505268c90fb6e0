// The store's faults as the logger meets them, run for real: tq800-log on
// the simulator, a store it cannot write, a folder deleted under it, another
// program holding the database. No logged row is lost.
#include "record/RecordStore.h"
#include "support/DataTable.h"
#include "support/Files.h"
#include "support/OwnHome.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

class TestStoreFaults : public QObject
{
    Q_OBJECT
public:
    static void initMain() { useOwnHome(); }

private slots:
    // A store that cannot be written loses no row: whatever it never took is
    // in a store named on standard error, and the status says the store
    // failed (3). A store file that goes away is made again.
    void storeFaults_data()
    {
        // fault: what is done to DIR/store; status; said: on stderr; where:
        // the folder whose store holds every row at the end ("" : a
        // fallback named on stderr)
        columns<QString, int, QString, QString>("fault", "status", "said", "where");
        QTest::newRow("random bytes") << "bytes" << 0 << "was moved aside to DIR/store/recordings.sqlite.unreadable-"
                                      << "DIR/store";
        QTest::newRow("another program's database") << "foreign" << 0 << "" << "DIR/store";
        QTest::newRow("a folder in its place") << "folder" << 0 << "" << "DIR/store";
        QTest::newRow("read-only folder") << "readonly" << 3 << "did not take" << "";
        QTest::newRow("mode 000, run as its owner") << "mode000" << 3 << "cannot be written: Permission denied" << "";
        QTest::newRow("folder deleted while logging") << "deleted" << 0 << "went away (the folder DIR/store was removed)"
                                                      << "DIR/store";
        QTest::newRow("locked by another program") << "locked" << 0 << "" << "DIR/store";
    }
    void storeFaults()
    {
        auto [fault, said, where] = fetch<QString, QString, QString>("fault", "said", "where");
        QTemporaryDir dir;
        const QString store = dir.filePath("store");
        QVERIFY(QDir().mkpath(store));
        const QString file = store + "/recordings.sqlite";
        QByteArray untouched;
        sqlite3 *other = nullptr;
        const bool mounted = fault == "readonly";
        const auto cleanUp = qScopeGuard([&other, mounted, store] {
            sqlite3_close_v2(other);
            if (mounted)
                ::umount2(QFile::encodeName(store).constData(), MNT_DETACH);
        });
        if (fault == "bytes") {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray(3000, '\x5a')) == 3000);
        } else if (fault == "foreign" || fault == "locked") {
            if (fault == "locked") {
                RecordStore made;
                QVERIFY(made.open(store));
            }
            QCOMPARE(sqlite3_open(QFile::encodeName(file).constData(), &other), SQLITE_OK);
            QCOMPARE(sqlite3_exec(other, fault == "foreign" ? "CREATE TABLE theirs(x)" : "BEGIN EXCLUSIVE", nullptr, nullptr,
                                  nullptr),
                     SQLITE_OK);
            if (fault == "foreign") {
                sqlite3_close_v2(std::exchange(other, nullptr));
                untouched = readFile(file);
            }
        } else if (fault == "folder") {
            QVERIFY(QDir().mkpath(file));
        } else if (fault == "mode000") {
            // Root reads a mode 000 file all the same: the logger runs as
            // an ordinary account that owns the folder and the file.
            if (geteuid() != 0)
                QSKIP("running the logger as another account needs root");
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.close();
            QVERIFY(::chmod(QFile::encodeName(file).constData(), 0) == 0);
            QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
            QVERIFY(QDir().mkpath(dir.filePath("tmp")));
            for (const QString &owned : {store, file, dir.filePath("tmp")})
                QCOMPARE(QProcess::execute("chown", {"nobody:nogroup", owned}), 0);
        } else if (fault == "readonly") {
            if (geteuid() != 0
                || ::mount("tmpfs", QFile::encodeName(store).constData(), "tmpfs", MS_RDONLY, "size=64k") != 0)
                QSKIP("a read-only folder for root needs a read-only mount, which needs root");
        }
        QProcess meter;
        meter.start(QStringLiteral(TQ800_SIM), {"--family", "ph", "--quiet", "--link", dir.filePath("meter")});
        QTRY_VERIFY(QFileInfo(dir.filePath("meter")).isSymLink());
        QProcess log;
        QStringList args{"--port", dir.filePath("meter"), "--seconds", "5", "--journal", store};
        QString program = QStringLiteral(TQ800_LOG);
        if (fault == "mode000") {
            // The account needs the line too; its fallback goes to a
            // temporary folder of the test's own.
            QCOMPARE(QProcess::execute("chown", {"nobody", QFileInfo(dir.filePath("meter")).symLinkTarget()}), 0);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("TMPDIR", dir.filePath("tmp"));
            env.insert("HOME", dir.filePath("tmp"));
            log.setProcessEnvironment(env);
            args.prepend(program);
            args = QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups"} + args;
            program = QStringLiteral("setpriv");
        }
        log.start(program, args);
        QVERIFY(log.waitForStarted());
        if (fault == "deleted" || fault == "locked") {
            QTest::qWait(2500);
            if (fault == "deleted")
                QVERIFY(QDir(store).removeRecursively());
            else
                QCOMPARE(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
        }
        QVERIFY(log.waitForFinished(30000));
        meter.terminate();
        meter.waitForFinished();
        const QString stderrText = QString::fromUtf8(log.readAllStandardError());
        QFETCH(int, status);
        QVERIFY2(log.exitCode() == status, qPrintable(stderrText));
        QVERIFY2(stderrText.contains(said.replace("DIR", dir.path())), qPrintable(stderrText));
        if (!untouched.isEmpty())
            QCOMPARE(readFile(file), untouched);
        // Every logged row: in the store of `where`, or in the fallback
        // named on stderr.
        const QRegularExpressionMatch logged = QRegularExpression("(\\d+) rows? logged").match(stderrText);
        QVERIFY2(logged.hasMatch(), qPrintable(stderrText));
        QString holder = where.replace("DIR", dir.path());
        if (holder.isEmpty()) {
            const QRegularExpressionMatch named =
                QRegularExpression("written to (\\S+)/recordings\\.sqlite").match(stderrText);
            QVERIFY2(named.hasMatch(), qPrintable(stderrText));
            holder = named.captured(1);
            QVERIFY(!holder.startsWith(store + "/"));
        }
        RecordStore kept;
        QVERIFY2(kept.open(holder, RecordStore::Access::Read), qPrintable(kept.error()));
        // The store is the user's alone (it holds host and user names).
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(kept.file()).constData(), &st) == 0);
        QCOMPARE(int(st.st_mode & 0777), 0600);
        // A folder it made (again) is the user's alone too.
        if (fault == "deleted") {
            QVERIFY(::stat(QFile::encodeName(holder).constData(), &st) == 0);
            QCOMPARE(int(st.st_mode & 0777), 0700);
        }
        QList<int> rows;
        for (const RecordingInfo &r : kept.list())
            kept.forEachEntry(r.id, "row", [&rows](const hashchain::Entry &e) {
                rows << QJsonDocument::fromJson(e.body).object().value("row").toInt();
                return true;
            });
        QVERIFY(!rows.isEmpty());
        // The last row logged is kept, and none before it back to where the
        // store's file was last seen whole (a deleted store's older rows
        // went with it).
        QCOMPARE(rows.last(), logged.captured(1).toInt());
        if (fault != "deleted")
            QCOMPARE(rows.size(), logged.captured(1).toInt());
        for (int i = 1; i < rows.size(); ++i)
            QVERIFY2(rows[i] == rows[i - 1] + 1 || rows[i] == 1, qPrintable(QString::number(rows[i])));
    }
};

QTEST_GUILESS_MAIN(TestStoreFaults)
#include "tst_storefaults.moc"
