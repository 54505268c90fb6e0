// Stored records ("S" frames): the row, the display mirror, polling, and a
// whole download cut at every byte. Expected texts are worked out by hand
// from the frame layout.
#include "SimFrames.h"
#include "SimMeter.h"
#include "shell/QtSerialLink.h"
#include "support/FakeMeter.h"
#include "shell/NumberFormat.h"
#include "table/GridView.h"

#include <QtTest>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Mode, date+time, value, unit, temperature, MTC, ATC, record number, exponent.
QString lcdText(const Bench &b)
{
    QStringList f;
    for (int i : {0, 1, 2, 3, 4, 5, 6, 10, 11})
        f << b.lcd(i);
    return f.join(QLatin1Char('|'));
}

const QString kPh = QStringLiteral("Q 0000 8000");        // Celsius
const QString kIse = QStringLiteral("Q 4000 0864");       // Fahrenheit
const QString kCond = QStringLiteral("Q 6000 28FA 08C8 03E8");
const QString kDo = QStringLiteral("Q 8000 A000");

} // namespace

class TestDecodeStored : public QObject
{
    Q_OBJECT

private slots:
    void record_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("record");
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("lcd");
        QTest::newRow("7.000 pH, 2-07 9:05:11, 10.0 C") << kPh << "S 1C8B 3A45 1B58 0258"
            << "1|2-07|9:05:11|7.000|10.0°C(ATC)|||" << "pH|2-07 9:05:11|7.000|pH|10.0°C||ATC|1|";
        QTest::newRow("pH with decimals code 0: a whole number") << kPh << "S 1000 0000 0007 02EE"
            << "1|0-00|0:00:00|7|25.0°C(ATC)|||" << "pH|0-00 0:00:00|7|pH|25.0°C||ATC|1|";
        QTest::newRow("-10.0 mV") << "Q 2000 8000" << "S 2000 0000 FF9C 02EE"
            << "1|0-00|0:00:00|-10.0|25.0°C(ATC)|||" << "mV|0-00 0:00:00|-10.0|mV|25.0°C||ATC|1|";
        QTest::newRow("EH keeps the measured potential") << "Q 2000 8000" << "S 4000 0000 0064 02EE"
            << "1|0-00|0:00:00|10.0|25.0°C(ATC)|||" << "EH|0-00 0:00:00|10.0|mV|25.0°C||ATC|1|";
        QTest::newRow("pX 2.50") << kIse << "S 5000 0000 00FA 02EE"
            << "1|0-00|0:00:00|2.50|----|----|----|77.0°F(ATC)" << "ISE|0-00 0:00:00|2.50|pX|77.0°F||ATC|1|";
        QTest::newRow("mol/L 1.23E-4") << kIse << "S 6000 0000 107B 02EE"
            << "1|0-00|0:00:00|----|1.23E-4|----|----|77.0°F(ATC)" << "ISE|0-00 0:00:00|1.23|mol/L|77.0°F||ATC|1|-4";
        QTest::newRow("10.0 ppm (quotient 2)") << kIse << "S 7400 0000 4E84 02EE"
            << "1|0-00|0:00:00|----|----|10.0 ppm|----|77.0°F(ATC)" << "ISE|0-00 0:00:00|10.0|ppm|77.0°F||ATC|1|";
        QTest::newRow("ppb above 7FFF, unsigned") << kIse << "S 8C00 0000 9088 02EE"
            << "1|0-00|0:00:00|----|----|----|7.000 ppb|77.0°F(ATC)" << "ISE|0-00 0:00:00|7.000|ppb|77.0°F||ATC|1|";
        QTest::newRow("mg/L, decimals 0, no known unit: plain number") << kIse << "S 7000 0000 A000 02EE"
            << "1|0-00|0:00:00|----|----|960|----|77.0°F(ATC)" << "ISE|0-00 0:00:00|960||77.0°F||ATC|1|";
        QTest::newRow("conductivity 1413 uS/cm, caption COND") << kCond << "S 9000 0000 A585 02EE"
            << "1|0-00|0:00:00|1413 uS/cm|----|----|----|77.0°F(ATC)" << "COND|0-00 0:00:00|1413|uS/cm|77.0°F||ATC|1|";
        QTest::newRow("SAL with a unit code of no unit") << kCond << "S C400 0000 0046 02EE"
            << "1|0-00|0:00:00|----|----|----|7.0|77.0°F(ATC)" << "SAL|0-00 0:00:00|7.0||77.0°F||ATC|1|";
        QTest::newRow("DO %, -50.0 C, MTC, Celsius") << kDo << "S F400 0000 93E8 0800"
            << "1|0-00|0:00:00|----|100.0 %|----|-50.0°C(MTC)|" << "DO|0-00 0:00:00|100.0|%|-50.0°C|MTC||1|";
        QTest::newRow("family 5: temperature in column 4") << "Q A000 8000" << "S 2000 0000 0064 0000"
            << "1|0-00|0:00:00|10.0|-50.0°C(ATC)|||" << "mV|0-00 0:00:00|10.0|mV|-50.0°C||ATC|1|";
    }
    void record()
    {
        QFETCH(QString, settings);
        QFETCH(QString, record);
        Bench b;
        b.send(settings);
        // A previous reading's texts must not leak into this row.
        b.core.lcd.lblLCD[3].Caption = QStringLiteral("stale");
        b.core.lcd.lblLCD[0].Caption = QStringLiteral("stale");
        b.send(record);
        QTEST(b.rowText(1), "row");
        QTEST(lcdText(b), "lcd");
    }

    void downloadStopsPollingOnce()
    {
        Bench b;
        b.core.cmdClear_Click();
        b.send("D 1C00 0000 1B58 02EE");   // a live row, then the download
        b.core.cmdClear_Click();
        QSignalSpy inits(&b.core, &MainCore::changed);
        b.send("S 1C8B 3A45 1B58 0258");
        QVERIFY(!b.core.Timer2.isActive() && !b.core.m.PollingOn);
        QCOMPARE(b.core.m.GridRow, 2);
        b.core.Timer2.start();   // the second record neither stops it nor lays out anew
        b.send("S 1C8B 3A45 1B59 0258");
        QVERIFY(b.core.Timer2.isActive());
        QCOMPARE(b.rowText(1) + '/' + b.cell(2, 3), QStringLiteral("1|2-07|9:05:11|7.000|50.0°F(ATC)|||/7.001"));
        // Stored rows are not drawn as they come.
        QCOMPARE(b.core.Picture4.segmentCount(), qint64(0));
    }

    // Every family's simulated memory decodes to one row per record, each
    // with its own value in the column of its mode and its own unit.
    void simulatorMemory_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("modes");
        QTest::newRow("ph") << "ph" << kPh << 1;
        QTest::newRow("mv") << "mv" << "Q 2000 8000" << 3;
        QTest::newRow("ise") << "ise" << kIse << 4;
        QTest::newRow("cond") << "cond" << kCond << 4;
        QTest::newRow("do") << "do" << kDo << 3;
    }
    void simulatorMemory()
    {
        QFETCH(QString, family);
        QFETCH(QString, settings);
        sim::MeterOptions o;
        o.family = sim::findFamily(family.toStdString());
        std::tm now{};
        now.tm_year = 126;
        now.tm_mday = 6;
        sim::SimMeter meter(o, now);
        const std::vector<sim::StoredRecord> memory = meter.memory(12, now);
        Bench b;
        b.send(settings);
        QSet<int> modes;
        for (const sim::StoredRecord &r : memory) {
            b.feed(QByteArray::fromStdString(sim::encodeStored(r)));
            modes << r.mode;
            const int row = b.core.m.GridRow - 1;
            QStringList values;
            for (int c = 3; c <= 6; ++c)
                if (!b.cell(row, c).isEmpty() && b.cell(row, c) != QLatin1String("----") && !b.cell(row, c).contains(u'°'))
                    values << b.cell(row, c);
            QCOMPARE(values.size(), 1);
            const QString unit = values[0].section(QLatin1Char(' '), 1);
            QVERIFY2(values[0].startsWith(b.lcd(2)) && (unit.isEmpty() || unit == b.lcd(3)), qPrintable(b.rowText(row)));
        }
        QCOMPARE(b.core.m.GridRow, 13);
        QTEST(int(modes.size()), "modes");
    }

    // A download of a few hundred records on a real pseudo-terminal, cut at
    // every byte and several records to a read: each lands as its own row, in
    // order, and the table view shows the last one.
    void burstOnAPty()
    {
        int master = -1, slave = -1;
        char name[128] = {};
        QVERIFY(openpty(&master, &slave, name, nullptr, nullptr) == 0);
        termios raw;
        tcgetattr(slave, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave, TCSANOW, &raw);
        QtSerialLink link;
        RecordingPrompts prompts;
        MainCore core(&link, &prompts);
        GridView view(core.MSFlexGrid1);
        view.resize(673, 201);
        view.show();
        core.Form_Load();
        core.Combo1Text = QString::fromLatin1(name);
        core.cmdComm_Click();
        QVERIFY(link.isOpen());

        constexpr int kRecords = 400;
        QByteArray all;
        for (int i = 0; i < kRecords; ++i) {
            sim::StoredRecord r;
            r.mode = 1;
            r.decimals = 3;
            r.month = 1;
            r.day = 1 + i / 1440 % 28;
            r.hour = i / 60 % 24;
            r.minute = i % 60;
            r.value = i;
            all += QByteArray::fromStdString(sim::encodeStored(r));
        }
        all += "<E>";
        // Pieces of 1, 2, 3, ... bytes, each handed over with a tick between
        // some of them, so that every cut point and several whole records to
        // a read both occur.
        qsizetype at = 0;
        for (int piece = 1; at < all.size(); piece = piece % 97 + 1) {
            const QByteArray part = all.mid(at, piece);
            QVERIFY(write(master, part.constData(), size_t(part.size())) == part.size());
            at += part.size();
            if (piece % 3 == 0)
                core.Timer1_Timer();
        }
        QTRY_COMPARE_WITH_TIMEOUT(core.m.GridRow, kRecords + 1, 5000);
        core.Timer1_Timer();
        for (int i = 0; i < kRecords; ++i)
            QCOMPARE(core.MSFlexGrid1->TextMatrix(i + 1, 3), Format(i / 1000.0, u"#0.000"));
        QCoreApplication::processEvents();
        QCOMPARE(view.rowAt(0) + 1, core.m.GridRow - 9);   // model row 0 is grid row 1
        ::close(master);
        ::close(slave);
    }
};

QTEST_MAIN(TestDecodeStored)
#include "tst_decode_stored.moc"
