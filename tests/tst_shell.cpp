// Start-up, choosing a port, the buttons, the poll tick and a port that
// vanishes while logging.
#include "shell/PortNames.h"
#include "support/FakeMeter.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
const QByteArray kReading = "<D1C0000001B5802EE>";
using Icon = UiPrompts::Icon;
}

class Shell : public QObject
{
    Q_OBJECT
private slots:
    void startUp()
    {
        Bench b(false);
        for (const Label &l : b.core.lcd.lblLCD)
            QVERIFY(l.Caption.isEmpty());
        QCOMPARE(b.core.lcd.Shape1, (std::array<bool, 3>{false, false, false}));
        QCOMPARE(b.core.Caption, QStringLiteral("Form1"));
        QVERIFY(!b.core.enabled.cmdClear && !b.core.enabled.cmdExport && !b.core.enabled.cmdStdAdd);
        QVERIFY(b.core.enabled.cmdExit && b.core.enabled.cmdComm);
        QVERIFY(b.core.Timer1.isActive());
        QVERIFY(!b.core.Timer2.isActive());
        QVERIFY(!b.link.isOpen());
        QVERIFY(b.link.written.isEmpty());
        QCOMPARE(b.core.m.PollCommand, QStringLiteral("A"));
        QCOMPARE(b.core.m.GridRow, 1);
        QCOMPARE(b.core.CommPort, 1);
        QCOMPARE(b.core.Combo1Text, QStringLiteral("1"));
        QCOMPARE(b.core.Combo1List.size(), 9);
        QCOMPARE(b.core.m.TempCoefTable[0], qint16(2118));
        QCOMPARE(b.core.m.TempCoefTable[11], qint16(2211));
        QCOMPARE(b.core.m.TempCoefTable[12], qint16(2213));
        QCOMPARE(b.core.m.TempCoefTable[50], qint16(2486));
    }

    void portSelection_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("fromList");
        QTest::addColumn<QString>("device");   // "" = the selection fails
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("detail");   // what the box says under its text
        QTest::newRow("first adapter") << "1" << true << "/dev/ttyUSB0" << 0 << "";
        QTest::newRow("third device") << "3" << true << "/dev/ttyS0" << 0 << "";
        QTest::newRow("halves to even") << "2.5" << false << "/dev/ttyACM0" << 0 << "";
        QTest::newRow("leading number") << "1 (USB)" << false << "/dev/ttyUSB0" << 0 << "";
        QTest::newRow("typed device") << "/dev/pts/7" << false << "/dev/pts/7" << 0 << "";
        QTest::newRow("tty name") << "ttyUSB3" << false << "/dev/ttyUSB3" << 0 << "";
        QTest::newRow("letters, button") << "abc" << false << "" << int(Icon::None) << "";
        QTest::newRow("letters, list") << "abc" << true << "" << int(Icon::Critical) << "";
        QTest::newRow("zero") << "0" << false << "" << int(Icon::None) << "";
        QTest::newRow("256") << "256" << false << "" << int(Icon::None) << "";
        QTest::newRow("no such device") << "9" << true << "" << int(Icon::Critical) << "";
        QTest::newRow("refused: the reason and the fix") << "/dev/ttyUSB7" << false << "" << int(Icon::None)
                                                        << "/dev/ttyUSB7: permission denied.\nTo use it, join the group "
                                                           "that owns it (sudo usermod -aG dialout $USER), then log out "
                                                           "and in again.";
    }
    void portSelection()
    {
        QFETCH(QString, text);
        QFETCH(bool, fromList);
        QFETCH(QString, device);
        QFETCH(int, icon);
        QFETCH(QString, detail);
        Bench b(false);
        if (!detail.isEmpty()) {
            b.link.openable = QStringList{};
            b.link.refusal = QStringLiteral("permission denied");
        }
        b.core.listDevices = [] {
            return portnames::orderDevices({"/dev/ttyS0", "/dev/ttyACM0", "/dev/ttyUSB0"});
        };
        b.core.Combo1Text = text;
        fromList ? b.core.Combo1_Click() : b.core.cmdComm_Click();
        if (device.isEmpty()) {
            QCOMPARE(b.prompts.boxes.size(), 1);
            QCOMPARE(b.prompts.boxes[0].text, QStringLiteral("The commport number isn't valid,please select again!"));
            QCOMPARE(int(b.prompts.boxes[0].icon), icon);
            QCOMPARE(b.prompts.boxes[0].detail, detail);
            QCOMPARE(b.core.Combo1Text, QStringLiteral("1"));
            QVERIFY(!b.core.Timer1.isActive() && !b.core.Timer2.isActive());
            QVERIFY(!b.core.enabled.cmdClear && !b.core.enabled.cmdExport);
        } else {
            QVERIFY(b.prompts.boxes.isEmpty());
            QCOMPARE(b.link.opened, QStringList{device});
            QVERIFY(b.core.Timer1.isActive() && b.core.Timer2.isActive());
            QVERIFY(b.core.enabled.cmdClear && b.core.enabled.cmdExport);
        }
    }

    void anotherPortClosesTheFirst()
    {
        Bench b(false);
        b.core.listDevices = [] { return QStringList{"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB2"}; };
        b.core.Combo1_Click();
        b.core.Combo1Text = QStringLiteral("3");
        b.core.Combo1_Click();
        QCOMPARE(b.link.opened, (QStringList{"/dev/ttyUSB0", "/dev/ttyUSB2"}));
        QCOMPARE(b.link.device(), QStringLiteral("/dev/ttyUSB2"));
        QVERIFY(b.core.Timer1.isActive() && b.core.Timer2.isActive());
    }

    void emptyTextAsksForANumber()
    {
        Bench b(false);
        b.core.Combo1Text.clear();
        b.core.cmdComm_Click();
        QCOMPARE(b.prompts.boxes.size(), 1);
        QCOMPARE(b.prompts.boxes[0].text, QStringLiteral("please select the commport number!"));
        QCOMPARE(int(b.prompts.boxes[0].icon), int(Icon::Critical));
        QCOMPARE(b.core.Combo1Text, QStringLiteral("1"));
        QVERIFY(b.link.opened.isEmpty());
        QVERIFY(b.core.Timer1.isActive());   // nothing else changes
    }

    void portOrder()
    {
        const QStringList ordered = portnames::orderDevices(
            {"/dev/ttyS1", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyUSB2", "/dev/ttyS0", "/dev/rfcomm0"});
        QCOMPARE(ordered, (QStringList{"/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyS1",
                                       "/dev/rfcomm0"}));
    }

    void clearStartsARecording()
    {
        Bench b;
        b.feed("<M05A1.2>" + kReading);
        QVERIFY(!b.core.Timer2.isActive());
        QCOMPARE(b.lcd(10), QStringLiteral("1"));
        b.core.cmdClear_Click();
        QCOMPARE(b.core.m.GridRow, 1);
        QVERIFY(b.cell(1, 3).isEmpty());
        QVERIFY(b.lcd(10).isEmpty());
        QVERIFY(b.core.Timer2.isActive());
        QVERIFY(b.core.m.PollingOn);
        QCOMPARE(b.core.MSFlexGrid1->TextMatrix(0, 3), QStringLiteral("pH"));
    }

    void exitSendsTheExitRequestOnce()
    {
        Bench b;
        QSignalSpy exits(&b.core, &MainCore::exitRequested);
        b.core.cmdExit_Click();
        QCOMPARE(b.link.written, QByteArrayList{"@B#"});
        QCOMPARE(exits.count(), 1);

        Bench closed(false);
        QSignalSpy closedExits(&closed.core, &MainCore::exitRequested);
        closed.core.cmdExit_Click();
        QVERIFY(closed.link.written.isEmpty());
        QCOMPARE(closedExits.count(), 1);
    }

    void pollTickOnAClosedPortIsSilent()
    {
        Bench b(false);
        b.core.Timer2_Timer();
        QVERIFY(b.link.written.isEmpty());
    }

    void stdAddOpensTheCalculatorWindow()
    {
        Bench b;
        QSignalSpy asks(&b.core, &MainCore::stdAddRequested);
        b.core.cmdStdAdd_Click();
        QCOMPARE(asks.count(), 1);
    }

    void unpluggedAdapterKeepsTheRowsAndReconnects()
    {
        Bench b;
        b.core.cmdClear_Click();
        b.feed(kReading + kReading + kReading);
        QCOMPARE(b.core.m.GridRow, 4);

        b.link.unplug();
        QVERIFY(b.prompts.boxes.isEmpty());   // not inside the read that noticed it
        QTRY_COMPARE(b.prompts.boxes.size(), 1);
        QCOMPARE(int(b.prompts.boxes[0].icon), int(Icon::Critical));
        QVERIFY(!b.core.Timer2.isActive());
        QVERIFY(!b.core.enabled.cmdClear && !b.core.enabled.cmdExport);
        QCOMPARE(b.cell(3, 0), QStringLiteral("3"));
        b.core.Timer2_Timer();
        QVERIFY(!b.link.written.contains("@#"));

        // Selecting the port again picks up where the log stopped.
        b.core.Combo1Text = QStringLiteral("/dev/fake0");
        b.core.cmdComm_Click();
        QVERIFY(b.link.isOpen());
        QVERIFY(b.core.Timer2.isActive());
        b.feed(kReading);
        QCOMPARE(b.cell(4, 0), QStringLiteral("4"));
        QCOMPARE(b.cell(1, 0), QStringLiteral("1"));
    }
};

QTEST_GUILESS_MAIN(Shell)
#include "tst_shell.moc"
