// Live readings ("D" frames) through the receive tick: table row, display
// mirror and settings-panel side effects. Expected texts are worked out by
// hand from the frame layout, not taken from a run of the program.
#include "support/FakeMeter.h"

#include <QtTest>

namespace {

// Frames are written as their 4-character fields with blanks in between.
void send(Bench &b, const QString &fields)
{
    if (!fields.isEmpty())
        b.frame(QString(fields).remove(QLatin1Char(' ')));
}

// All eight cells of a row: a write into the wrong column shows up too.
QString rowText(const Bench &b, int row)
{
    QStringList cells;
    for (int c = 0; c < 8; ++c)
        cells << b.cell(row, c);
    return cells.join(QLatin1Char('|'));
}

// Mirror fields a reading writes: mode, date+time, value, unit, temperature,
// MTC, ATC, record number, exponent.
QString lcdText(const Bench &b, std::initializer_list<int> fields = {0, 1, 2, 3, 4, 5, 6, 10, 11})
{
    QStringList f;
    for (int i : fields)
        f << b.lcd(i);
    return f.join(QLatin1Char('|'));
}

// Celsius pH; conductivity with Tref 25.0 °C and 2.00 %/°C; sodium electrode.
// The last two leave the temperature unit at Fahrenheit.
const QString kPhCelsius = QStringLiteral("Q 0000 8000");
const QString kCond = QStringLiteral("Q 6000 28FA 08C8 03E8");
const QString kSodium = QStringLiteral("Q 4000 0864");
const QString kPh = QStringLiteral("D 1C00 0000 FF38 01F4");

} // namespace

class TestDecodeLive : public QObject
{
    Q_OBJECT

private slots:
    void wholeReading_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("reading");
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("lcd");

        QTest::newRow("pH -0.200, three decimals, MTC, Celsius") << kPhCelsius << "D 1C00 0000 FF38 08CA"
            << "1|0-00|0:00:00|-0.200|-29.8°C(MTC)|||" << "pH|0-00 0:00:00|-0.200|pH|-29.8°C|MTC||1|";
        QTest::newRow("mode 0 on 31 Dec 23:59:59, no settings: Fahrenheit, column 4") << "" << "D 0F3B FDFB 1234 01F4"
            << "1|12-31|23:59:59||32.0°F(ATC)|||" << "|12-31 23:59:59|||32.0°F||ATC|1|";
        QTest::newRow("bare D: every field reads 0, temperature -50.0 °C") << "" << "D"
            << "1|0-00|0:00:00||-58.0°F(ATC)|||" << "|0-00 0:00:00|||-58.0°F||ATC|1|";
        QTest::newRow("dissolved oxygen, two-decimal resolution") << "Q 8000 A000" << "D D0ED 3A45 0339 03B9 03F5 0000 02EE"
            << "1|3-07|9:05:45|8.25|95.3|0ppt|25.0°C(ATC)|" << "DO|3-07 9:05:45|8.25|mg/L|25.0°C||ATC|1|";
        QTest::newRow("sodium pX 3.000 in mol/L mode") << kSodium << "D 6000 0000 0BB8 12EE"
            << "1|0-00|0:00:00|3.00|1.00E-03|22.99 mg/L|22.99 ppm|77.0°F(ATC)" << "ISE|0-00 0:00:00|1.00|mol|77.0°F||ATC|1|-3";
        QTest::newRow("ion number of the reading (F) overrides the settings (Na)") << kSodium << "D 7000 0000 0BB8 02EE"
            << "1|0-00|0:00:00|3.00|1.00E-03|19.00 mg/L|19.00 ppm|77.0°F(ATC)" << "ISE|0-00 0:00:00|19.00|mg/L|77.0°F||ATC|1|";
        QTest::newRow("conductivity 1413 uS/cm at 25.0 °C") << kCond << "D 9000 0000 0585 A2EE"
            << "1|0-00|0:00:00|1413 uS/cm|708 R.cm|997 mg/L|0.70 ppt|77.0°F(ATC)" << "COND|0-00 0:00:00|1.413|mS/cm|77.0°F||ATC|1|";
    }
    void wholeReading()
    {
        QFETCH(QString, settings);
        QFETCH(QString, reading);
        Bench b;
        send(b, settings);
        send(b, reading);
        QTEST(rowText(b, 1), "row");
        QTEST(lcdText(b), "lcd");
        QCOMPARE(b.core.m.GridRow, 2);
    }

    // Mode caption, table value and mirror value with unit.
    void valueByMode_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("reading");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("lcd");

        // 04D2 = 1234 thousandths of pH; the decimals code is bits 11..10.
        QTest::newRow("pH, no decimals code: whole number") << "" << "D 1000 0000 04D2 01F4" << "1" << "pH|1|pH";
        QTest::newRow("pH, one decimal") << "" << "D 1400 0000 04D2 01F4" << "1.2" << "pH|1.2|pH";
        QTest::newRow("pH, two decimals") << "" << "D 1800 0000 04D2 01F4" << "1.23" << "pH|1.23|pH";
        QTest::newRow("pH -2, three decimals") << "" << "D 1C00 0000 F830 01F4" << "-2.000" << "pH|-2.000|pH";
        QTest::newRow("mV, negative") << "" << "D 2000 0000 FC18 01F4" << "-100.0" << "mV|-100.0|mV";
        QTest::newRow("ORP") << "" << "D 3000 0000 03E8 01F4" << "100.0" << "ORP|100.0|mV";
        QTest::newRow("EH adds Uref on the mirror only") << "Q 2000 87D0" << "D 4000 0000 03E8 01F4" << "100.0" << "EH|300.0|mV";
        QTest::newRow("EH before any settings: Uref 0") << "" << "D 4000 0000 03E8 01F4" << "100.0" << "EH|100.0|mV";
        QTest::newRow("RES mode") << kCond << "D A000 0000 0585 A2EE" << "1413 uS/cm" << "RES|708|R.cm";
        QTest::newRow("TDS mode") << kCond << "D B000 0000 0585 A2EE" << "1413 uS/cm" << "TDS|997|mg/L";
        QTest::newRow("SAL mode") << kCond << "D C000 0000 0585 A2EE" << "1413 uS/cm" << "SAL|0.70|ppt";
    }
    void valueByMode()
    {
        QFETCH(QString, settings);
        QFETCH(QString, reading);
        Bench b;
        send(b, settings);
        b.core.lcd.lblLCD[11].Caption = QStringLiteral("E-99");   // pH and mV readings clear it
        send(b, reading);
        QTEST(b.cell(1, 3), "cell");
        QTEST(lcdText(b, {0, 2, 3}), "lcd");
        if (b.core.m.MeasMode.toInt() <= 4)
            QCOMPARE(b.lcd(11), QString());
    }

    void conductivityDecade_data()
    {
        QTest::addColumn<QString>("reading");
        QTest::addColumn<QString>("cell");

        // The range code (top nibble of the temperature word) scales the raw
        // value by 10^(r-10) for r = 7..13 only. At 25.0 °C = Tref the
        // compensation leaves the value alone.
        QTest::newRow("r 6: as read") << "D 9000 0000 0585 62EE" << "1413 uS/cm";
        QTest::newRow("r 7: x 0.001") << "D 9000 0000 7530 72EE" << "30.0 uS/cm";
        QTest::newRow("r 8: x 0.01") << "D 9000 0000 7FFF 82EE" << "328 uS/cm";
        QTest::newRow("r 9: x 0.1") << "D 9000 0000 3732 92EE" << "1413 uS/cm";
        QTest::newRow("r 10: x 1") << "D 9000 0000 0585 A2EE" << "1413 uS/cm";
        QTest::newRow("r 11: x 10") << "D 9000 0000 008D B2EE" << "1410 uS/cm";
        QTest::newRow("r 12: x 100") << "D 9000 0000 000F C2EE" << "1500 uS/cm";
        QTest::newRow("r 13: x 1000") << "D 9000 0000 0005 D2EE" << "5.00 mS/cm";
        QTest::newRow("r 14: as read") << "D 9000 0000 0585 E2EE" << "1413 uS/cm";
        QTest::newRow("r 11 with MTC bit: still x 10") << "D 9000 0000 008D BAEE" << "1410 uS/cm";
    }
    void conductivityDecade()
    {
        QFETCH(QString, reading);
        Bench b;
        send(b, kCond);
        send(b, reading);
        QTEST(b.cell(1, 3), "cell");
    }

    void temperature_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("lcd");   // temperature|MTC|ATC
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("cell");

        QTest::newRow("no settings: 0 °C as Fahrenheit, pH column") << "" << "01F4" << "32.0°F||ATC" << 4 << "32.0°F(ATC)";
        QTest::newRow("pH Celsius, -5.5 °C, MTC") << kPhCelsius << "09BD" << "-5.5°C|MTC|" << 4 << "-5.5°C(MTC)";
        QTest::newRow("pH Fahrenheit, -5.5 °C") << "Q 0000 0000" << "01BD" << "22.1°F||ATC" << 4 << "22.1°F(ATC)";
        QTest::newRow("all bits set: 154.7 °C, MTC, range ignored") << kPhCelsius << "FFFF" << "154.7°C|MTC|" << 4
                                                                     << "154.7°C(MTC)";
        QTest::newRow("mV family: column 4") << "Q 2000 8000" << "02EE" << "25.0°C||ATC" << 4 << "25.0°C(ATC)";
        QTest::newRow("ISE family: column 7") << "Q 4000 8864" << "02EE" << "25.0°C||ATC" << 7 << "25.0°C(ATC)";
        QTest::newRow("COND family: column 7") << "Q 6000 A8FA 08C8 03E8" << "02EE" << "25.0°C||ATC" << 7 << "25.0°C(ATC)";
        QTest::newRow("DO family: column 6") << "Q 8000 A000" << "02EE" << "25.0°C||ATC" << 6 << "25.0°C(ATC)";
        QTest::newRow("family 5: no temperature cell") << "Q A000 8000" << "02EE" << "25.0°C||ATC" << -1 << "";
    }
    void temperature()
    {
        QFETCH(QString, settings);
        QFETCH(QString, word);
        QFETCH(int, column);
        QFETCH(QString, cell);
        Bench b;
        send(b, settings);
        send(b, "D 2000 0000 0000 " + word);   // a 0.0 mV reading
        QTEST(lcdText(b, {4, 5, 6}), "lcd");
        for (int c = 4; c < 8; ++c)
            QCOMPARE(b.cell(1, c), c == column ? cell : QString());
    }

    void oxygen_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("word1");
        QTest::addColumn<QString>("cells");   // columns 3 and 4
        QTest::addColumn<QString>("lcd");

        // 8.25 mg/L, 95.3 %, 101.3 kPa, 35 ppt.
        QTest::newRow("0.01 mg resolution, mg/L") << "Q 8000 2000" << "D0ED" << "8.25|95.3" << "8.25|mg/L";
        QTest::newRow("0.01 mg resolution, ppm") << "Q 8000 2000" << "E0ED" << "8.25|95.3" << "8.25|ppm";
        QTest::newRow("0.01 mg resolution, % shows the saturation") << "Q 8000 2000" << "F0ED" << "8.25|95.3" << "95.3|%";
        QTest::newRow("0.1 mg resolution rounds half away") << "Q 8000 1000" << "D0ED" << "8.3|95" << "8.3|mg/L";
        QTest::newRow("0.1 mg resolution, %") << "Q 8000 1000" << "F0ED" << "8.3|95" << "95|%";
        QTest::newRow("resolution code 0: value cells stay empty") << "Q 8000 0000" << "D0ED" << "|" << "|mg/L";
    }
    void oxygen()
    {
        QFETCH(QString, settings);
        QFETCH(QString, word1);
        Bench b;
        send(b, settings);
        send(b, "D " + word1 + " 3A45 0339 03B9 03F5 0023 02EE");
        QTEST(b.cell(1, 3) + '|' + b.cell(1, 4), "cells");
        QCOMPARE(b.cell(1, 5), QStringLiteral("35ppt"));
        QCOMPARE(b.cell(1, 6), QStringLiteral("77.0°F(ATC)"));
        QCOMPARE(b.lcd(0), QStringLiteral("DO"));
        QTEST(lcdText(b, {2, 3}), "lcd");
        QCOMPARE(b.caption(2) + b.value(2), QStringLiteral("A.P.101.3kPa"));
        QVERIFY(b.core.panel.Line2[2]);
    }

    void modeZeroKeepsTheMirrorValue()
    {
        Bench b;
        send(b, kPhCelsius);
        send(b, "D 1C00 0000 FF38 08CA");   // pH with MTC
        send(b, "D 0000 0000 0000 02EE");   // mode 0 with ATC
        QCOMPARE(rowText(b, 2), QStringLiteral("2|0-00|0:00:00||25.0°C(ATC)|||"));
        QCOMPARE(lcdText(b), QStringLiteral("pH|0-00 0:00:00|-0.200|pH|25.0°C||ATC|2|"));
    }

    void tableGrowsAndScrolls_data()
    {
        QTest::addColumn<int>("readings");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("topRow");

        QTest::newRow("two: row 1 loses the highlight") << 2 << 12 << 1;
        QTest::newRow("nine: still the 12 start rows") << 9 << 12 << 1;
        QTest::newRow("tenth adds a row, row 2 on top") << 10 << 13 << 2;
        QTest::newRow("eleventh: row 3 on top") << 11 << 14 << 3;
    }
    void tableGrowsAndScrolls()
    {
        QFETCH(int, readings);
        Bench b;
        for (int i = 0; i < readings; ++i)
            send(b, kPh);
        QTEST(b.core.MSFlexGrid1->Rows(), "rows");
        QTEST(b.core.MSFlexGrid1->TopRow(), "topRow");
        QCOMPARE(b.cell(readings, 0) + b.lcd(10), QString::number(readings).repeated(2));
        QCOMPARE(b.core.m.GridRow, readings + 1);
        // Only the newest row is highlighted; the one before has its normal look.
        const FlexGrid &g = *b.core.MSFlexGrid1;
        QCOMPARE(g.highlightedRows(), QList<int>{readings});
        for (int c = 0; c < 8; ++c)
            QCOMPARE(g.cellShade(readings - 1, c), c == 0 ? FlexGrid::Shade::Fixed : FlexGrid::Shade::Window);
    }
};

QTEST_GUILESS_MAIN(TestDecodeLive)
#include "tst_decode_live.moc"
