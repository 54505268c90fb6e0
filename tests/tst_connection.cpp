// A lost connection and its return, in the window's core and in the logger,
// and a log file that stops taking rows.
#include "support/DataTable.h"
#include "support/LoggedSession.h"

class TestConnection : public QObject
{
    Q_OBJECT

private slots:
    // The adapter goes while logging: the rows stay, polling stops, one
    // message says so (after the read that noticed it), and the port comes
    // back by itself or by one chosen by hand.
    void portComesBack_data()
    {
        // polling: was the meter being polled when the port went
        // byHand: the user picks a port while it is gone
        columns<bool, bool>("polling", "byHand");
        QTest::newRow("polling resumes") << true << false;
        QTest::newRow("not polling: stays so") << false << false;
        QTest::newRow("a port chosen by hand ends the waiting") << true << true;
    }
    void portComesBack()
    {
        auto [polling, byHand] = fetch<bool, bool>("polling", "byHand");
        Bench b;
        b.core.cmdClear_Click();
        b.feed(phReading(1) + phReading(1));
        if (!polling)
            b.core.Timer2.stop();
        b.link.openable = QStringList{};   // gone until plugged back in
        b.link.unplug();
        b.link.unplug();                    // a cable that comes and goes
        QVERIFY(b.prompts.boxes.isEmpty());
        QTest::qWait(0);
        QCOMPARE(b.prompts.boxes.size(), 1);
        QVERIFY(b.prompts.boxes[0].text.contains("/dev/fake0"));
        QCOMPARE(int(b.prompts.boxes[0].icon), int(UiPrompts::Icon::Critical));
        QVERIFY(!b.core.Timer2.isActive() && !b.core.enabled.cmdClear && !b.core.enabled.cmdExport);
        b.core.Timer2_Timer();
        QVERIFY(b.link.written.isEmpty());
        b.core.ReconnectTimer_Timer();      // not back yet
        QVERIFY(b.core.ReconnectTimer.isActive() && !b.link.isOpen());

        b.link.openable = QStringList{QStringLiteral("/dev/fake0"), QStringLiteral("/dev/fake1")};
        if (byHand) {
            b.core.Combo1Text = QStringLiteral("/dev/fake1");
            b.core.cmdComm_Click();
        }
        b.core.ReconnectTimer_Timer();
        QVERIFY(!b.core.ReconnectTimer.isActive());
        QCOMPARE(b.link.device(), byHand ? QStringLiteral("/dev/fake1") : QStringLiteral("/dev/fake0"));
        QCOMPARE(b.core.Timer2.isActive(), polling || byHand);
        QVERIFY(b.core.enabled.cmdClear && b.core.enabled.cmdExport && b.core.Timer1.isActive());
        // The rows logged before the loss are all there, and logging goes on.
        b.feed(phReading(1));
        QCOMPARE(b.cell(3, 0), QStringLiteral("3"));
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

    void csvThatStopsTakingRowsEndsTheLog()
    {
        if (!QFile::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full here");
        Logged l(QStringLiteral("/dev/full"));
        QVERIFY(l.csv.isOpen());
        QSignalSpy messages(&l.session, &HeadlessSession::message);
        QVERIFY(l.start());
        l.b.feed("<E>" + phReading(1) + phReading(1));
        QCOMPARE(l.finished.size(), 1);
        QCOMPARE(l.finished[0][0].toInt(), 1);
        QCOMPARE(l.b.link.written.count("@B#"), 1);   // the meter is still told
        QCOMPARE(messages.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
