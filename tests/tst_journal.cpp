// The crash journal: one file per recording, the time of receipt, the
// recordings left open; and the window killed mid-burst keeps every row.
#include "support/FakeMeter.h"
#include "support/Files.h"
#include "support/Readings.h"
#include "table/RowJournal.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

class TestJournal : public QObject
{
    Q_OBJECT

private slots:
    void recordings()
    {
        QTemporaryDir dir;
        Bench b;
        RowJournal journal(*b.core.MSFlexGrid1, dir.path());
        journal.now = [] { return QDateTime(QDate(2026, 12, 6), QTime(9, 5, 2), Qt::OffsetFromUTC, 3600); };
        QSignalSpy rows(&b.core, &MainCore::rowCompleted);
        QObject::connect(&b.core, &MainCore::rowCompleted, &journal, &RowJournal::appendRow);
        b.core.cmdClear_Click();
        b.feed(runReading(1) + runReading(2));
        const QString first = journal.currentFile();
        QCOMPARE(QFileInfo(first).fileName(), QStringLiteral("2026-12-06_09-05-02.csv"));
        b.core.cmdClear_Click();   // a new recording, the first one left open
        b.feed(runReading(3));
        const QString second = journal.currentFile();
        QCOMPARE(QFileInfo(second).fileName(), QStringLiteral("2026-12-06_09-05-02_2.csv"));
        QCOMPARE(RowJournal::unfinished(dir.path()), (QStringList{first, second}));
        journal.closeRecording();   // Exit
        QCOMPARE(RowJournal::unfinished(dir.path()), QStringList{first});
        RowJournal::forget({first});
        QVERIFY(RowJournal::unfinished(dir.path()).isEmpty());

        const QList<QByteArray> l = readFile(first).split('\n');
        QCOMPARE(l[0], QByteArray("\xEF\xBB\xBFsn,Date,Time,pH,Temp,,,,Received\r"));
        QCOMPARE(l[2], QByteArray("2,1-01,0:00:02,7.002,77.0\xC2\xB0" "F(ATC),,,,2026-12-06T09:05:02+01:00\r"));
    }

    void killedMidBurstKeepsEveryRow()
    {
        QTemporaryDir dir;
        int master = -1, slave = -1;
        char name[128] = {};
        QVERIFY(openpty(&master, &slave, name, nullptr, nullptr) == 0);
        fcntl(master, F_SETFL, O_NONBLOCK);
        // A raw line from the start, as the window will set it: a fresh pty
        // would cook the bytes written before the window opens it.
        termios raw;
        tcgetattr(slave, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave, TCSANOW, &raw);
        QProcess window;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        window.setProcessEnvironment(env);
        window.start(QStringLiteral(TQ800_GUI), {QStringLiteral("--port"), QString::fromLatin1(name),
                                                 QStringLiteral("--journal"), dir.path()});
        QVERIFY(window.waitForStarted());
        // Readings as fast as the line takes them, until the window has
        // journalled a good part of them; then it is killed.
        QByteArray burst;
        for (int i = 1; i <= 20000; ++i)
            burst += runReading(i);
        qsizetype sent = 0;
        QString file;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 20000) {
            char drain[4096];
            while (read(master, drain, sizeof drain) > 0) {}   // its poll requests
            if (sent < burst.size()) {
                const ssize_t n = write(master, burst.constData() + sent, size_t(qMin<qsizetype>(4096, burst.size() - sent)));
                if (n > 0)
                    sent += n;
            }
            const QStringList files = QDir(dir.path()).entryList({QStringLiteral("*.csv")});
            if (!files.isEmpty() && readFile(dir.filePath(files[0])).split('\n').size() > 3000) {
                file = dir.filePath(files[0]);
                break;
            }
            QTest::qWait(2);
        }
        QVERIFY2(!file.isEmpty(), "the window journalled nothing");
        kill(pid_t(window.processId()), SIGKILL);
        window.waitForFinished();
        ::close(master);
        ::close(slave);

        // Every line is whole, the rows run 1, 2, 3, ... without a gap, and
        // each holds its own reading.
        QList<QByteArray> l = readFile(file).split('\n');
        QCOMPARE(l.takeLast(), QByteArray());   // the file ends with a whole line
        QVERIFY(l.size() > 3000);
        for (qsizetype i = 1; i < l.size(); ++i) {
            const QList<QByteArray> f = l[i].split(',');
            QCOMPARE(f.size(), 9);
            QCOMPARE(f[0].toInt(), int(i));
            QCOMPARE(f[3], QByteArray::number(7 + (i % 100) / 1000.0, 'f', 3));
        }
        QVERIFY(RowJournal::unfinished(dir.path()).contains(file));   // offered at the next start
    }
};

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
