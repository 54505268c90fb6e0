// Live readings ("D" frames) through the receive tick: table row, display
// mirror and settings-panel side effects. Expected texts are worked out by
// hand from the frame layout, not taken from a run of the program.
#include "support/FakeMeter.h"

#include <QtTest>

namespace {

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
        // The temperature cell's column follows the meter family; family 5 has none.
        QTest::newRow("mV meter, 0.0 mV: temperature in column 4") << "Q 2000 8000" << "D 2000 0000 0000 02EE"
            << "1|0-00|0:00:00|0.0|25.0°C(ATC)|||" << "mV|0-00 0:00:00|0.0|mV|25.0°C||ATC|1|";
        QTest::newRow("family 5: no temperature cell") << "Q A000 8000" << "D 2000 0000 0000 02EE"
            << "1|0-00|0:00:00|0.0||||" << "mV|0-00 0:00:00|0.0|mV|25.0°C||ATC|1|";
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
        b.send(settings);
        b.send(reading);
        QTEST(b.rowText(1), "row");
        QTEST(lcdText(b), "lcd");
        QCOMPARE(b.core.m.GridRow, 2);
        if (b.core.m.MeasMode.toInt() >= 13)   // dissolved oxygen fills in the air pressure
            QCOMPARE(b.caption(2) + '|' + b.value(2) + '|' + QString::number(b.core.panel.Line2[2]),
                     QStringLiteral("A.P.|101.3kPa|1"));
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
        QTest::newRow("EH adds Uref on the mirror only")
            << "Q 2000 87D0" << "D 4000 0000 03E8 01F4" << "100.0" << "EH|300.0|mV";
        QTest::newRow("RES mode") << kCond << "D A000 0000 0585 A2EE" << "1413 uS/cm" << "RES|708|R.cm";
        QTest::newRow("TDS mode") << kCond << "D B000 0000 0585 A2EE" << "1413 uS/cm" << "TDS|997|mg/L";
        QTest::newRow("SAL mode") << kCond << "D C000 0000 0585 A2EE" << "1413 uS/cm" << "SAL|0.70|ppt";
        // 8.25 mg/L, 95.3 %, 101.3 kPa, 35 ppt.
        const QString oxygen = QStringLiteral(" 3A45 0339 03B9 03F5 0023 02EE");
        QTest::newRow("DO 0.01 mg, ppm") << "Q 8000 2000" << "D E0ED" + oxygen << "8.25" << "DO|8.25|ppm";
        QTest::newRow("DO 0.01 mg, % shows the saturation")
            << "Q 8000 2000" << "D F0ED" + oxygen << "8.25" << "DO|95.3|%";
        QTest::newRow("DO 0.1 mg rounds half away") << "Q 8000 1000" << "D D0ED" + oxygen << "8.3" << "DO|8.3|mg/L";
        QTest::newRow("DO 0.1 mg, %") << "Q 8000 1000" << "D F0ED" + oxygen << "8.3" << "DO|95|%";
        QTest::newRow("DO resolution code 0: value cells stay empty")
            << "Q 8000 0000" << "D F0ED" + oxygen << "" << "DO||%";
    }
    void valueByMode()
    {
        QFETCH(QString, settings);
        QFETCH(QString, reading);
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
        b.send(kPhCelsius);
        b.send("D 1C00 0000 FF38 08CA");   // pH with MTC
        b.send("D 0000 0000 0000 02EE");   // mode 0 with ATC
        QCOMPARE(b.rowText(2), QStringLiteral("2|0-00|0:00:00||25.0°C(ATC)|||"));
        QCOMPARE(lcdText(b), QStringLiteral("pH|0-00 0:00:00|-0.200|pH|25.0°C||ATC|2|"));
    }
};

QTEST_GUILESS_MAIN(TestDecodeLive)
#include "tst_decode_live.moc"
