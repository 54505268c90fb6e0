// Choosing a port, Exit and Std-Add.
#include "shell/PortNames.h"
#include "support/DataTable.h"
#include "support/FakeMeter.h"
#include "support/OwnHome.h"

#include <QDir>
#include <QSignalSpy>

namespace {
using Icon = UiPrompts::Icon;
}

class Shell : public QObject
{
    Q_OBJECT
public:
    static void initMain() { useOwnHome(); }

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
        QTest::newRow("relative path: from the current folder")
            << "./meter" << false << QDir::current().filePath("meter") << 0 << "";
        QTest::newRow("relative path up a folder")
            << "../x/meter" << false << QDir::cleanPath(QDir::current().filePath("../x/meter")) << 0 << "";
        QTest::newRow("letters, button") << "abc" << false << "" << int(Icon::None) << "";
        QTest::newRow("letters, list") << "abc" << true << "" << int(Icon::Critical) << "";
        QTest::newRow("zero") << "0" << false << "" << int(Icon::None) << "";
        QTest::newRow("no such device") << "9" << true << "" << int(Icon::Critical) << "";
        QTest::newRow("refused: the reason and the fix") << "/dev/null" << false << "" << int(Icon::None)
                                                        << "/dev/null: permission denied.\nIt belongs to group root, "
                                                           "which is not a group for serial devices: ask an "
                                                           "administrator for access to it, for example through a "
                                                           "udev rule.";
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

    // Joining a group is advised only for a group of serial devices that
    // may use the device: never root, nor tty (every terminal).
    void permissionHint_data()
    {
        columns<QString, bool, bool>("group", "groupRw", "joins");
        QTest::newRow("dialout") << "dialout" << true << true;
        QTest::newRow("uucp") << "uucp" << true << true;
        QTest::newRow("dialout without read and write") << "dialout" << false << false;
        QTest::newRow("root") << "root" << true << false;
        QTest::newRow("tty") << "tty" << true << false;
        QTest::newRow("unknown") << "" << false << false;
    }
    void permissionHint()
    {
        auto [group, groupRw, joins] = fetch<QString, bool, bool>("group", "groupRw", "joins");
        const QString hint = portnames::permissionHint(group, groupRw);
        QCOMPARE(hint.contains("usermod -aG " + group + " $USER"), joins);
        QCOMPARE(hint.contains("ask an administrator"), !joins);
        QVERIFY(!hint.contains("-aG root"));
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
