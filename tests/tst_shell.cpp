// Choosing a port, Exit and Std-Add.
#include "shell/PortNames.h"
#include "support/DataTable.h"
#include "support/FakeMeter.h"

#include <QSignalSpy>

namespace {
using Icon = UiPrompts::Icon;
}

class Shell : public QObject
{
    Q_OBJECT
private slots:
    // A number picks the n-th device present: adapters first (USB, then
    // ACM), then the built-in ports, each family by its number.
    void portSelection_data()
    {
        // device: "" = the selection fails
        // detail: what the box says under its text
        columns<QString, bool, QString, int, QString>("text", "fromList", "device", "icon", "detail");
        QTest::newRow("first adapter") << "1" << true << "/dev/ttyUSB2" << 0 << "";
        QTest::newRow("halves to even") << "2.5" << false << "/dev/ttyUSB10" << 0 << "";
        QTest::newRow("then ACM") << "3" << true << "/dev/ttyACM0" << 0 << "";
        QTest::newRow("other names last") << "6" << true << "/dev/rfcomm0" << 0 << "";
        QTest::newRow("leading number") << "1 (USB)" << false << "/dev/ttyUSB2" << 0 << "";
        QTest::newRow("typed device") << "/dev/pts/7" << false << "/dev/pts/7" << 0 << "";
        QTest::newRow("tty name") << "ttyUSB3" << false << "/dev/ttyUSB3" << 0 << "";
        QTest::newRow("letters, button") << "abc" << false << "" << int(Icon::None) << "";
        QTest::newRow("letters, list") << "abc" << true << "" << int(Icon::Critical) << "";
        QTest::newRow("zero") << "0" << false << "" << int(Icon::None) << "";
        QTest::newRow("no such device") << "9" << true << "" << int(Icon::Critical) << "";
        QTest::newRow("refused: the reason and the fix") << "/dev/null" << false << "" << int(Icon::None)
                                                        << "/dev/null: permission denied.\nTo use it, join the group "
                                                           "that owns it (sudo usermod -aG root $USER), then log out "
                                                           "and in again.";
    }
    void portSelection()
    {
        auto [text, fromList, device, icon, detail] = fetch<QString, bool, QString, int, QString>(
            "text", "fromList", "device", "icon", "detail");
        Bench b(false);
        if (!detail.isEmpty()) {
            b.link.openable = QStringList{};
            b.link.refusal = QStringLiteral("permission denied");
        }
        b.core.listDevices = [] {
            return portnames::orderDevices(
                {"/dev/ttyS1", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyUSB2", "/dev/ttyS0", "/dev/rfcomm0"});
        };
        b.core.Combo1Text = text;
        fromList ? b.core.Combo1_Click() : b.core.cmdComm_Click();
        QCOMPARE(b.link.opened, device.isEmpty() ? QStringList{} : QStringList{device});
        QCOMPARE(b.core.Timer1.isActive() && b.core.Timer2.isActive(), !device.isEmpty());
        QCOMPARE(b.core.enabled.cmdClear && b.core.enabled.cmdExport, !device.isEmpty());
        QCOMPARE(b.prompts.boxes.size(), device.isEmpty() ? 1 : 0);
        if (device.isEmpty()) {
            QCOMPARE(b.prompts.boxes[0].text, QStringLiteral("The commport number isn't valid,please select again!"));
            QCOMPARE(int(b.prompts.boxes[0].icon), icon);
            QCOMPARE(b.prompts.boxes[0].detail, detail);
            QCOMPARE(b.core.Combo1Text, QStringLiteral("1"));
            QVERIFY(!b.core.Timer1.isActive() && !b.core.Timer2.isActive());
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

    // Exit tells the meter on an open port once, on a closed one nothing;
    // Std-Add asks for the calculator window.
    void exitAndStdAdd()
    {
        for (bool open : {true, false}) {
            Bench b(open);
            QSignalSpy exits(&b.core, &MainCore::exitRequested), asks(&b.core, &MainCore::stdAddRequested);
            b.core.cmdExit_Click();
            b.core.cmdStdAdd_Click();
            QCOMPARE(b.link.written, open ? QByteArrayList{"@B#"} : QByteArrayList{});
            QVERIFY(exits.count() == 1 && asks.count() == 1);
        }
    }
};

QTEST_GUILESS_MAIN(Shell)
#include "tst_shell.moc"
