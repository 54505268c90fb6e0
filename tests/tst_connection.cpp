// A lost connection and its return, in the window's core and in the logger,
// a meter that does not answer, one device opened twice, and a log file that
// stops taking rows.
#include "shell/QtSerialLink.h"
#include "support/DataTable.h"
#include "support/LoggedSession.h"
#include "support/OwnHome.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

class TestConnection : public QObject
{
    Q_OBJECT
public:
    static void initMain() { useOwnHome(); }

private slots:
    // The adapter goes while logging: the rows stay, polling stops, one
    // notice says so while the port is away (Clear and Export still work),
    // and the port comes back by itself or by one chosen by hand.
    void portComesBack_data()
    {
        // polling: was the meter being polled when the port went
        // clear: Clear is pressed while the port is away
        // byHand: the user picks a port while it is gone
        // flaps: how often the cable goes and comes back
        columns<bool, bool, bool, int>("polling", "clear", "byHand", "flaps");
        QTest::newRow("polling resumes") << true << false << false << 1;
        QTest::newRow("not polling: stays so") << false << false << false << 1;
        QTest::newRow("not polling, Clear while away: polls on return") << false << true << false << 1;
        QTest::newRow("a port chosen by hand ends the waiting") << true << false << true << 1;
        QTest::newRow("a cable that flaps 50 times: one notice at a time") << true << false << false << 50;
    }
    void portComesBack()
    {
        auto [polling, clear, byHand, flaps] = fetch<bool, bool, bool, int>("polling", "clear", "byHand", "flaps");
        Bench b;
        b.core.cmdClear_Click();
        b.feed(phReading(1) + phReading(1));
        if (!polling)
            b.core.Timer2.stop();
        QStringList expectedNotices;
        for (int flap = 0; flap < flaps; ++flap) {
            b.link.openable = QStringList{};   // gone until plugged back in
            b.link.written.clear();
            b.link.unplug();
            b.link.unplug();                    // noticed twice: said once
            QCOMPARE(b.prompts.notices.size(), expectedNotices.size() + 1);
            QVERIFY(b.prompts.notice.contains("/dev/fake0"));
            QVERIFY(b.prompts.boxes.isEmpty());
            QVERIFY(!b.core.Timer2.isActive() && b.core.enabled.cmdClear && b.core.enabled.cmdExport);
            if (clear)
                b.core.cmdClear_Click();
            b.core.Timer2_Timer();
            QVERIFY(b.link.written.isEmpty() && !b.core.Timer2.isActive());
            b.core.ReconnectTimer_Timer();      // not back yet
            QVERIFY(b.core.ReconnectTimer.isActive() && !b.link.isOpen());

            b.link.openable = QStringList{QStringLiteral("/dev/fake0"), QStringLiteral("/dev/fake1")};
            if (byHand) {
                b.core.Combo1Text = QStringLiteral("/dev/fake1");
                b.core.cmdComm_Click();
            }
            b.core.ReconnectTimer_Timer();
            expectedNotices << b.prompts.notices[expectedNotices.size()] << QString();
            QCOMPARE(b.prompts.notices, expectedNotices);   // and taken away once back
        }
        QVERIFY(!b.core.ReconnectTimer.isActive());
        QCOMPARE(b.link.device(), byHand ? QStringLiteral("/dev/fake1") : QStringLiteral("/dev/fake0"));
        QCOMPARE(b.core.Timer2.isActive(), polling || clear || byHand);
        QVERIFY(b.core.enabled.cmdClear && b.core.enabled.cmdExport && b.core.Timer1.isActive());
        // The rows logged before the loss are all there, and logging goes on.
        b.feed(phReading(1));
        QCOMPARE(b.cell(clear ? 1 : 3, 0), clear ? QStringLiteral("1") : QStringLiteral("3"));
    }

    void loggerWaitsForThePort()
    {
        Logged l;
        l.session.setReconnect(true);
        QVERIFY(l.start());
        l.b.feed("<E>" + phReading(1));
        l.b.link.unplug();
        l.b.core.ReconnectTimer_Timer();
        l.b.feed(phReading(1));
        QVERIFY(l.finished.isEmpty());
        QCOMPARE(l.session.rowsCompleted(), 2);
        QVERIFY(l.out.data().contains(R"({"event":"lost","reason":"device removed",)"));
        QVERIFY(l.out.data().contains(R"({"event":"reconnected",)"));
    }

    // The real logger on the simulator's pseudo-terminal: a download ends
    // (polling stopped, nothing written to the line), then the meter's end
    // of the line goes away.
    void hungUpLineIsLost_data()
    {
        columns<bool>("reconnect");
        QTest::newRow("--reconnect: waits, reopens the meter that comes back, still not polling") << true;
        QTest::newRow("without: ends with status 2") << false;
    }
    void hungUpLineIsLost()
    {
        QFETCH(bool, reconnect);
        QTemporaryDir dir;
        const QString link = dir.filePath("meter");
        auto startMeter = [&](QProcess &p, const QStringList &extra) {
            p.start(QStringLiteral(TQ800_SIM), QStringList{"--quiet", "--unpaced", "--link", link} + extra);
            QTRY_VERIFY(QFileInfo(link).isSymLink());
        };
        QProcess meter, again;
        startMeter(meter, {"--memory", "100", "--dump-after", "0"});
        QProcess log;
        log.start(QStringLiteral(TQ800_LOG),
                  QStringList{"--port", link, "--json"} + (reconnect ? QStringList{"--reconnect"} : QStringList{}));
        QByteArray out;
        auto said = [&](const char *text) { return (out += log.readAllStandardOutput()).contains(text); };
        QTRY_VERIFY_WITH_TIMEOUT(said(R"("frame":"E")"), 30000);
        meter.terminate();
        meter.waitForFinished();
        QTRY_VERIFY_WITH_TIMEOUT(said(R"({"event":"lost")") || log.state() == QProcess::NotRunning, 10000);
        if (reconnect) {
            startMeter(again, {"--memory", "5"});
            QTRY_VERIFY_WITH_TIMEOUT(said(R"({"event":"reconnected")"), 10000);
            log.terminate();
        }
        QVERIFY(log.waitForFinished(10000));
        again.terminate();
        again.waitForFinished();
        QCOMPARE(log.exitCode(), reconnect ? 0 : 2);
        const QList<QByteArray> lines = out.split('\n');
        const auto last = [&](const char *event) {
            for (auto l = lines.rbegin(); l != lines.rend(); ++l)
                if (l->startsWith(QByteArray("{\"event\":\"") + event))
                    return QJsonDocument::fromJson(*l).object();
            return QJsonObject();
        };
        QCOMPARE(last("lost")["reason"].toString(), QStringLiteral("the device hung up"));
        QCOMPARE(last("lost")["rows"].toInt(), last("frame")["rows"].toInt());   // rows kept
        if (reconnect)
            QVERIFY(!last("reconnected")["poll_timer"].toBool());
        const QString errors = QString::fromUtf8(log.readAllStandardError());
        QVERIFY2(!errors.contains("by itself"), qPrintable(errors));
    }

    // After five polls without any frame the meter is said to be silent,
    // once; any frame ends it. 'p' is a poll, 'f' a frame.
    void noAnswer_data()
    {
        columns<QString, bool, QStringList>("script", "silent", "said");
        QTest::newRow("four polls: not yet") << "pppp" << false << QStringList{};
        QTest::newRow("seven polls: said once") << "ppppppp" << true << QStringList{"no answer from /dev/fake0"};
        QTest::newRow("a frame ends it") << "pppppfp" << false
                                         << QStringList{"no answer from /dev/fake0", "the meter on /dev/fake0 answers"};
        QTest::newRow("a frame among the polls: nothing said") << "ppppfpppp" << false << QStringList{};
    }
    void noAnswer()
    {
        auto [script, silent, said] = fetch<QString, bool, QStringList>("script", "silent", "said");
        Logged l;
        QSignalSpy messages(&l.session, &HeadlessSession::message);
        QVERIFY(l.start());
        for (QChar step : script)
            step == u'p' ? l.b.core.Timer2_Timer() : l.b.feed("<E>");
        QCOMPARE(l.b.core.noAnswer(), silent);
        QCOMPARE(messages.size(), said.size());
        for (int i = 0; i < said.size(); ++i)
            QVERIFY2(messages[i][0].toString().startsWith(said[i]), qPrintable(messages[i][0].toString()));
    }

    // A lock on the device itself: the second open is refused whatever
    // name it goes by, and succeeds once the first has let go.
    void oneDeviceOpensOnce_data()
    {
        columns<bool>("otherName");
        QTest::newRow("the same name twice") << false;
        QTest::newRow("a symlink, then the device it points to") << true;
    }
    void oneDeviceOpensOnce()
    {
        QFETCH(bool, otherName);
        QTemporaryDir dir;
        const QString link = dir.filePath("meter");
        QProcess meter;
        meter.start(QStringLiteral(TQ800_SIM), {"--quiet", "--link", link});
        QTRY_VERIFY(QFileInfo(link).isSymLink());
        const QString second = otherName ? QFileInfo(link).symLinkTarget() : link;
        QtSerialLink first, other;
        QVERIFY(first.open(link));
        QVERIFY(!other.open(second));
        QCOMPARE(other.openError(), QStringLiteral("in use by another program"));
        first.close();
        QVERIFY2(other.open(second), qPrintable(other.openError()));
        other.close();
        meter.terminate();
        meter.waitForFinished();
    }

    void csvThatStopsTakingRowsEndsTheLog()
    {
        // Past the file-size limit every write fails (EFBIG), as on a full disk.
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("log.csv"));
        Logged l(file);
        QVERIFY(l.csv.isOpen());
        QSignalSpy messages(&l.session, &HeadlessSession::message);
        QVERIFY(l.start());
        rlimit saved, tight;
        getrlimit(RLIMIT_FSIZE, &saved);
        tight = saved;
        tight.rlim_cur = rlim_t(QFileInfo(file).size());
        std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &tight);
        auto restore = qScopeGuard([&] { setrlimit(RLIMIT_FSIZE, &saved); });
        l.b.feed("<E>" + phReading(1) + phReading(1));
        QCOMPARE(l.finished.size(), 1);
        QCOMPARE(l.finished[0][0].toInt(), 1);
        QCOMPARE(l.b.link.written.count("@B#"), 1);   // the meter is still told
        QCOMPARE(messages.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
