// A lost connection and its return, in the window's core and in the logger,
// and a log file that stops taking rows.
#include "shell/HeadlessSession.h"
#include "shell/PortNames.h"
#include "support/FakeMeter.h"
#include "table/CsvLog.h"

#include <QBuffer>
#include <QSignalSpy>
#include <QtTest>

namespace {
const QByteArray kReading = "<D18C13A451B5802EE>";
}

class TestConnection : public QObject
{
    Q_OBJECT

private slots:
    void portComesBack_data()
    {
        QTest::addColumn<bool>("polling");      // was the meter being polled when the port went
        QTest::addColumn<bool>("byHand");       // the user picks a port while it is gone
        QTest::newRow("polling resumes") << true << false;
        QTest::newRow("not polling: stays so") << false << false;
        QTest::newRow("a port chosen by hand ends the waiting") << true << true;
    }
    void portComesBack()
    {
        QFETCH(bool, polling);
        QFETCH(bool, byHand);
        Bench b;
        b.core.cmdClear_Click();
        b.feed(kReading + kReading);
        if (!polling)
            b.core.Timer2.stop();
        b.link.openable = QStringList{};   // gone until plugged back in
        b.link.unplug();
        b.link.unplug();                    // a cable that comes and goes
        QTest::qWait(0);
        QCOMPARE(b.prompts.boxes.size(), 1);
        QVERIFY(b.prompts.boxes[0].text.contains("/dev/fake0"));
        QVERIFY(!b.core.Timer2.isActive() && !b.core.enabled.cmdClear);
        QVERIFY(b.core.ReconnectTimer.isActive());
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
        QVERIFY(b.core.enabled.cmdClear && b.core.Timer1.isActive());
        // The rows logged before the loss are all there, and logging goes on.
        b.feed(kReading);
        QCOMPARE(b.core.m.GridRow, 4);
    }

    void loggerWaitsForThePort()
    {
        Bench b(false);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        HeadlessSession session(b.core);
        QSignalSpy finished(&session, &HeadlessSession::finished);
        session.setJsonOutput(&out);
        session.setReconnect(true);
        QVERIFY(session.start(QStringLiteral("/dev/fake0")));
        b.feed("<E>" + kReading);
        b.link.unplug();
        b.core.ReconnectTimer_Timer();
        b.feed(kReading);
        QVERIFY(finished.isEmpty());
        QCOMPARE(session.rowsCompleted(), 2);
        QVERIFY(out.data().contains(R"({"event":"lost","reason":"device removed",)"));
        QVERIFY(out.data().contains(R"({"event":"reconnected",)"));
    }

    void csvThatStopsTakingRowsEndsTheLog()
    {
        if (!QFile::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full here");
        Bench b(false);
        CsvLog csv;
        QVERIFY(csv.open(QStringLiteral("/dev/full")));
        HeadlessSession session(b.core);
        QSignalSpy finished(&session, &HeadlessSession::finished);
        QSignalSpy messages(&session, &HeadlessSession::message);
        session.setCsvLog(&csv);
        QVERIFY(session.start(QStringLiteral("/dev/fake0")));
        b.feed("<E>" + kReading + kReading);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].toInt(), 1);
        QCOMPARE(b.link.written.count("@B#"), 1);   // the meter is still told
        QCOMPARE(messages.size(), 1);
    }

    void openFailureSaysWhyAndHow()
    {
        QVERIFY(portnames::openFailureDetail("/dev/nope", "no such device").startsWith("/dev/nope: no such device"));
        const QString perm = portnames::openFailureDetail("/dev/null", "permission denied (or the device is in use)");
        QVERIFY2(perm.contains("usermod -aG root") && perm.contains("log out"), qPrintable(perm));
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
