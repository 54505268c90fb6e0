// Live readings ("D") and stored records ("S") through the receive tick: the
// table row, the display mirror and polling.
// Expected texts are worked out by hand from the frame layouts, not taken
// from a run of the program.
#include "support/DataTable.h"
#include "support/FakeMeter.h"
#include "support/OwnHome.h"

namespace {

// Mirror fields a row writes: mode, date+time, value, unit, temperature,
// MTC, ATC, record number, exponent.
QString lcdText(const Bench &b, std::initializer_list<int> fields = {0, 1, 2, 3, 4, 5, 6, 10, 11})
{
    QStringList f;
    for (int i : fields)
        f << b.lcd(i);
    return f.join(QLatin1Char('|'));
}

// Celsius pH; a sodium electrode and conductivity with Tref 25.0 °C
// and 2.00 %/°C, both in Fahrenheit; oxygen at 0.01 mg in Celsius.
const QString kPh = QStringLiteral("Q 0000 8000");
const QString kSodium = QStringLiteral("Q 4000 0864");
const QString kCond = QStringLiteral("Q 6000 28FA 08C8 03E8");
const QString kDo = QStringLiteral("Q 8000 A000");

} // namespace

class TestDecodeRows : public QObject
{
    Q_OBJECT
public:
    static void initMain() { useOwnHome(); }

private slots:
    void row_data()
    {
        columns<QString, QString, QString, QString>("settings", "frame", "row", "lcd");
        dataRow("live pH -0.200, three decimals, MTC, Celsius", kPh, "D 1C00 0000 FF38 08CA",
            "1|0-00|0:00:00|-0.200|-29.8°C(MTC)|||", "pH|0-00 0:00:00|-0.200|pH|-29.8°C|MTC||1|");
        dataRow("live mode 0 on 31 Dec 23:59:59, no settings: Fahrenheit", "", "D 0F3B FDFB 1234 01F4",
            "1|12-31|23:59:59||32.0°F(ATC)|||", "|12-31 23:59:59|||32.0°F||ATC|1|");
        dataRow("live in family 5: no temperature cell", "Q A000 8000", "D 2000 0000 0000 02EE",
            "1|0-00|0:00:00|0.0||||", "mV|0-00 0:00:00|0.0|mV|25.0°C||ATC|1|");
        dataRow("bare D: every field reads 0, temperature -50.0 °C", "", "D",
            "1|0-00|0:00:00||-58.0°F(ATC)|||", "|0-00 0:00:00|||-58.0°F||ATC|1|");
        dataRow("live dissolved oxygen, two-decimal resolution", kDo, "D D0ED 3A45 0339 03B9 03F5 0000 02EE",
            "1|3-07|9:05:45|8.25|95.3|0ppt|25.0°C(ATC)|", "DO|3-07 9:05:45|8.25|mg/L|25.0°C||ATC|1|");
        dataRow("live sodium pX 3.000 in mol/L mode", kSodium, "D 6000 0000 0BB8 12EE",
            "1|0-00|0:00:00|3.00|1.00E-03|22.99 mg/L|22.99 ppm|77.0°F(ATC)", "ISE|0-00 0:00:00|1.00|mol|77.0°F||ATC|1|-3");
        dataRow("ion number of the reading (F) overrides the settings (Na)", kSodium, "D 7000 0000 0BB8 02EE",
            "1|0-00|0:00:00|3.00|1.00E-03|19.00 mg/L|19.00 ppm|77.0°F(ATC)", "ISE|0-00 0:00:00|19.00|mg/L|77.0°F||ATC|1|");
        dataRow("live conductivity 1413 uS/cm at 25.0 °C", kCond, "D 9000 0000 0585 A2EE",
            "1|0-00|0:00:00|1413 uS/cm|708 R.cm|997 mg/L|0.70 ppt|77.0°F(ATC)", "COND|0-00 0:00:00|1.413|mS/cm|77.0°F||ATC|1|");

        dataRow("record 7.000 pH, 2-07 9:05:11, 10.0 C", kPh, "S 1C8B 3A45 1B58 0258",
            "1|2-07|9:05:11|7.000|10.0°C(ATC)|||", "pH|2-07 9:05:11|7.000|pH|10.0°C||ATC|1|");
        dataRow("record pH, decimals 0: a whole number", kPh, "S 1000 0000 0007 02EE",
            "1|0-00|0:00:00|7|25.0°C(ATC)|||", "pH|0-00 0:00:00|7|pH|25.0°C||ATC|1|");
        dataRow("record -10.0 mV", "Q 2000 8000", "S 2000 0000 FF9C 02EE",
            "1|0-00|0:00:00|-10.0|25.0°C(ATC)|||", "mV|0-00 0:00:00|-10.0|mV|25.0°C||ATC|1|");
        dataRow("record pX 2.50", kSodium, "S 5000 0000 00FA 02EE",
            "1|0-00|0:00:00|2.50|----|----|----|77.0°F(ATC)", "ISE|0-00 0:00:00|2.50|pX|77.0°F||ATC|1|");
        dataRow("record mol/L 1.23E-4", kSodium, "S 6000 0000 107B 02EE",
            "1|0-00|0:00:00|----|1.23E-4|----|----|77.0°F(ATC)", "ISE|0-00 0:00:00|1.23|mol/L|77.0°F||ATC|1|-4");
        dataRow("record 10.0 ppm (quotient 2)", kSodium, "S 7400 0000 4E84 02EE",
            "1|0-00|0:00:00|----|----|10.0 ppm|----|77.0°F(ATC)", "ISE|0-00 0:00:00|10.0|ppm|77.0°F||ATC|1|");
        dataRow("record ppb above 7FFF, unsigned", kSodium, "S 8C00 0000 9088 02EE",
            "1|0-00|0:00:00|----|----|----|7.000 ppb|77.0°F(ATC)", "ISE|0-00 0:00:00|7.000|ppb|77.0°F||ATC|1|");
        dataRow("record mg/L, decimals 0, no known unit: plain number", kSodium, "S 7000 0000 A000 02EE",
            "1|0-00|0:00:00|----|----|960|----|77.0°F(ATC)", "ISE|0-00 0:00:00|960||77.0°F||ATC|1|");
        dataRow("record SAL with a unit code of no unit", kCond, "S C400 0000 0046 02EE",
            "1|0-00|0:00:00|----|----|----|7.0|77.0°F(ATC)", "SAL|0-00 0:00:00|7.0||77.0°F||ATC|1|");
        dataRow("record DO %, -50.0 C, MTC, Celsius", kDo, "S F400 0000 93E8 0800",
            "1|0-00|0:00:00|----|100.0 %|----|-50.0°C(MTC)|", "DO|0-00 0:00:00|100.0|%|-50.0°C|MTC||1|");
        dataRow("record in family 5: temperature in column 4", "Q A000 8000", "S 2000 0000 0064 0000",
            "1|0-00|0:00:00|10.0|-50.0°C(ATC)|||", "mV|0-00 0:00:00|10.0|mV|-50.0°C||ATC|1|");
    }
    void row()
    {
        auto [settings, frame] = fetch<QString, QString>("settings", "frame");
        Bench b;
        b.send(settings);
        // A record's texts are its own, never those of the reading before.
        if (frame.startsWith(u'S'))
            b.core.lcd.lblLCD[0].Caption = b.core.lcd.lblLCD[3].Caption = QStringLiteral("stale");
        b.send(frame);
        QTEST(b.rowText(1), "row");
        QTEST(lcdText(b), "lcd");
        QCOMPARE(b.core.m.GridRow, 2);
        if (frame.startsWith(u'D') && b.core.m.MeasMode.toInt() >= 13)   // live oxygen fills in the air pressure
            QCOMPARE(b.caption(2) + '|' + b.value(2) + '|' + QString::number(b.core.panel.Line2[2]),
                     QStringLiteral("A.P.|101.3kPa|1"));
    }

    // Live readings: mode caption, table value and mirror value with unit.
    void valueByMode_data()
    {
        columns<QString, QString, QString, QString>("settings", "reading", "cell", "lcd");
        // 04D2 = 1234 thousandths of pH; the decimals code is bits 11..10.
        QTest::newRow("pH, no decimals code: whole number") << "" << "D 1000 0000 04D2 01F4" << "1" << "pH|1|pH";
        QTest::newRow("pH, two decimals") << "" << "D 1800 0000 04D2 01F4" << "1.23" << "pH|1.23|pH";
        QTest::newRow("ORP") << "" << "D 3000 0000 03E8 01F4" << "100.0" << "ORP|100.0|mV";
        QTest::newRow("EH adds Uref on the mirror only") << "Q 2000 87D0" << "D 4000 0000 03E8 01F4" << "100.0"
                                                         << "EH|300.0|mV";
        QTest::newRow("RES mode") << kCond << "D A000 0000 0585 A2EE" << "1413 uS/cm" << "RES|708|R.cm";
        QTest::newRow("SAL mode") << kCond << "D C000 0000 0585 A2EE" << "1413 uS/cm" << "SAL|0.70|ppt";
        // 8.25 mg/L, 95.3 %, 101.3 kPa, 35 ppt.
        const QString oxygen = QStringLiteral(" 3A45 0339 03B9 03F5 0023 02EE");
        QTest::newRow("DO 0.01 mg, % shows the saturation") << "Q 8000 2000" << "D F0ED" + oxygen << "8.25" << "DO|95.3|%";
        QTest::newRow("DO 0.1 mg rounds half away") << "Q 8000 1000" << "D D0ED" + oxygen << "8.3" << "DO|8.3|mg/L";
        QTest::newRow("DO resolution code 0: value cells stay empty") << "Q 8000 0000" << "D F0ED" + oxygen << ""
                                                                      << "DO||%";
    }
    void valueByMode()
    {
        auto [settings, reading] = fetch<QString, QString>("settings", "reading");
        Bench b;
        b.send(settings);
        b.core.lcd.lblLCD[11].Caption = QStringLiteral("E-99");   // pH and mV readings clear it
        b.send(reading);
        QTEST(b.cell(1, 3), "cell");
        QTEST(lcdText(b, {0, 2, 3}), "lcd");
        if (b.core.m.MeasMode.toInt() <= 4)
            QCOMPARE(b.lcd(11), QString());
    }

    void modeZeroKeepsTheMirrorValue()
    {
        Bench b;
        b.send(kPh);
        b.send("D 1C00 0000 FF38 08CA");   // pH with MTC
        b.send("D 0000 0000 0000 02EE");   // mode 0 with ATC
        QCOMPARE(b.rowText(2), QStringLiteral("2|0-00|0:00:00||25.0°C(ATC)|||"));
        QCOMPARE(lcdText(b), QStringLiteral("pH|0-00 0:00:00|-0.200|pH|25.0°C||ATC|2|"));
    }

    void downloadStopsPollingOnce()
    {
        Bench b;
        b.core.cmdClear_Click();
        b.send("D 1C00 0000 1B58 02EE");   // a live row, then the download
        b.core.cmdClear_Click();
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

};

QTEST_GUILESS_MAIN(TestDecodeRows)
#include "tst_decode_rows.moc"
