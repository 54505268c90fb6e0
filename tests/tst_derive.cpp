#include "derive/CondQuantities.h"
#include "derive/IonConcentration.h"
#include "derive/IonTable.h"
#include "derive/TempCoefTable.h"

#include <QtTest>

#include <cmath>

namespace {

// Compensation as most meters leave the factory: 25.0 °C, 2.00 %/°C.
constexpr double kTref = 250;
constexpr int kCtc = 200;

CondResult cond(double raw, int tempTenths, double tref = kTref, int ctc = kCtc)
{
    return condQuantities(CondInputs{raw, tempTenths, tref, ctc}, kTempCoefValues);
}

const DerivedText &forMode(const CondResult &r, int mode)
{
    switch (mode) {
    case 9: return r.cond;
    case 10: return r.res;
    case 11: return r.tds;
    default: return r.sal;
    }
}

std::span<const DisplayBand> bandsNamed(const QString &name)
{
    if (name == QLatin1String("cond"))
        return kCondDisplay;
    if (name == QLatin1String("res"))
        return kResDisplay;
    if (name == QLatin1String("tds"))
        return kTdsDisplay;
    return kSalDisplay;
}

bool readable(const QString &text)
{
    return !text.isEmpty() && !text.contains(QLatin1String("inf"), Qt::CaseInsensitive)
        && !text.contains(QLatin1String("nan"), Qt::CaseInsensitive);
}

bool closeTo(double actual, double expected)
{
    return std::fabs(actual - expected) <= 1e-9 * qMax(1.0, std::fabs(expected));
}

} // namespace

class TestDerive : public QObject
{
    Q_OBJECT

private slots:
    void tempCoefTable_data();
    void tempCoefTable();
    void tempCoefTableIsSmooth();

    void condCells_data();
    void condCells();
    void condLcd_data();
    void condLcd();
    void condNumbers_data();
    void condNumbers();
    void displayBands_data();
    void displayBands();
    void coefIndex_data();
    void coefIndex();
    void compensationDivisor_data();
    void compensationDivisor();
    void condTextsFiniteForEveryFieldValue();

    void ionConversion_data();
    void ionConversion();
    void ionTable_data();
    void ionTable();
    void massBands_data();
    void massBands();
    void molExponent_data();
    void molExponent();
    void ionLcdOnlyInIonModes_data();
    void ionLcdOnlyInIonModes();
    void ionTextsFiniteForEveryFieldValue();
};

// ---------------------------------------------------------------- coefficients

void TestDerive::tempCoefTable_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("value");
    QTest::newRow("0 °C") << 0 << 2118;
    QTest::newRow("11 °C, after the uneven step") << 11 << 2211;
    QTest::newRow("12 °C, only 2 above") << 12 << 2213;
    QTest::newRow("24 °C") << 24 << 2308;
    QTest::newRow("26 °C") << 26 << 2323;
    QTest::newRow("50 °C") << 50 << 2486;
}

void TestDerive::tempCoefTable()
{
    QFETCH(int, index);
    QFETCH(int, value);
    QCOMPARE(int(kTempCoefValues[std::size_t(index)]), value);
}

void TestDerive::tempCoefTableIsSmooth()
{
    // A mistyped entry shows up as a step outside what the measured curve
    // does: it rises by 2 to 13 thousandths of a percent per degree.
    for (std::size_t i = 1; i < kTempCoefValues.size(); ++i) {
        const int step = kTempCoefValues[i] - kTempCoefValues[i - 1];
        QVERIFY2(step >= 2 && step <= 13, qPrintable(QStringLiteral("step into %1 is %2").arg(i).arg(step)));
    }
}

// ---------------------------------------------------------------- conductivity

void TestDerive::condCells_data()
{
    QTest::addColumn<double>("raw");
    QTest::addColumn<int>("tempTenths");
    QTest::addColumn<QString>("condCell");
    QTest::addColumn<QString>("resCell");
    QTest::addColumn<QString>("tdsCell");
    QTest::addColumn<QString>("salCell");

    QTest::newRow("1413 at 25.0") << 1413.0 << 250 << "1413 uS/cm" << "708 R.cm" << "997 mg/L" << "0.70 ppt";
    QTest::newRow("1413 at 20.0") << 1413.0 << 200 << "1570 uS/cm" << "637 R.cm" << "1.12 g/L" << "0.78 ppt";
    QTest::newRow("12880") << 12880.0 << 250 << "12.88 mS/cm" << "77.6 R.cm" << "11.7 g/L" << "7.08 ppt";
    QTest::newRow("53000") << 53000.0 << 250 << "53.0 mS/cm" << "18.9 R.cm" << "67.4 g/L" << "32.5 ppt";
    QTest::newRow("5") << 5.0 << 250 << "5.00 uS/cm" << "200 KR.cm" << "2.41 mg/L" << "0.00 ppt";
    QTest::newRow("0") << 0.0 << 250 << "0.00 uS/cm" << "999 MR.cm" << "0.00 mg/L" << "0.00 ppt";
    QTest::newRow("150000: TDS and salinity at their ceiling")
        << 150000.0 << 250 << "150.0 mS/cm" << "6.7 R.cm" << "100 g/L" << "100 ppt";
    QTest::newRow("200000: top conductivity band")
        << 200000.0 << 250 << "200 mS/cm" << "5.0 R.cm" << "100 g/L" << "100 ppt";
    QTest::newRow("0.1: resistivity exactly 10 MR.cm")
        << 0.1 << 250 << "0.10 uS/cm" << "10.0 MR.cm" << "0.00 mg/L" << "0.00 ppt";
    QTest::newRow("0.01: resistivity exactly at the ceiling")
        << 0.01 << 250 << "0.01 uS/cm" << "100 MR.cm" << "0.00 mg/L" << "0.00 ppt";
    QTest::newRow("0.001: resistivity held at the ceiling")
        << 0.001 << 250 << "0.00 uS/cm" << "100 MR.cm" << "0.00 mg/L" << "0.00 ppt";
    QTest::newRow("negative reading counts as none")
        << -1000.0 << 250 << "0.00 uS/cm" << "999 MR.cm" << "0.00 mg/L" << "0.00 ppt";
    // The fits' square terms would make a large negative reading salty.
    QTest::newRow("large negative reading has no solids or salt")
        << -30000.0 << 250 << "0.00 uS/cm" << "999 MR.cm" << "0.00 mg/L" << "0.00 ppt";
    QTest::newRow("negative reading, cold sample")
        << -32768.0 << -500 << "0.00 uS/cm" << "999 MR.cm" << "0.00 mg/L" << "0.00 ppt";
}

void TestDerive::condCells()
{
    QFETCH(double, raw);
    QFETCH(int, tempTenths);
    const CondResult r = cond(raw, tempTenths);
    QTEST(r.cond.cell, "condCell");
    QTEST(r.res.cell, "resCell");
    QTEST(r.tds.cell, "tdsCell");
    QTEST(r.sal.cell, "salCell");
}

void TestDerive::condLcd_data()
{
    QTest::addColumn<double>("raw");
    QTest::addColumn<int>("tempTenths");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("unit");

    QTest::newRow("COND 1413: LCD in mS/cm, grid in uS/cm") << 1413.0 << 250 << 9 << "1.413" << "mS/cm";
    QTest::newRow("COND 150") << 150.0 << 250 << 9 << "150.0" << "uS/cm";
    QTest::newRow("RES 5") << 5.0 << 250 << 10 << "200" << "KR.cm";
    QTest::newRow("RES 0") << 0.0 << 250 << 10 << "999" << "MR.cm";
    QTest::newRow("TDS 1413 at 20.0") << 1413.0 << 200 << 11 << "1.12" << "g/L";
    QTest::newRow("TDS 150000") << 150000.0 << 250 << 11 << "100" << "g/L";
    QTest::newRow("SAL 150000") << 150000.0 << 250 << 12 << "100" << "ppt";
    QTest::newRow("SAL 12880") << 12880.0 << 250 << 12 << "7.08" << "ppt";
}

void TestDerive::condLcd()
{
    QFETCH(double, raw);
    QFETCH(int, tempTenths);
    QFETCH(int, mode);
    const CondResult r = cond(raw, tempTenths);
    const DerivedText &t = forMode(r, mode);
    QTEST(t.lcdValue, "value");
    QTEST(t.lcdUnit, "unit");
}

void TestDerive::condNumbers_data()
{
    QTest::addColumn<double>("raw");
    QTest::addColumn<int>("tempTenths");
    QTest::addColumn<double>("tref");
    QTest::addColumn<int>("ctc");
    QTest::addColumn<double>("condComp");
    QTest::addColumn<double>("resValue");
    QTest::addColumn<double>("tdsValue");
    QTest::addColumn<double>("salValue");

    // Expected figures worked out independently from the fits. Where k sits exactly
    // on a fit's boundary the neighbouring fit gives a figure that differs
    // only in the decimals, so these compare numbers rather than texts.
    QTest::newRow("1413 at 20.0: own 2 %/°C to 25 °C for TDS")
        << 1413.0 << 200 << kTref << kCtc << 1570.0 << 636.9426751592357 << 1117.936235 << 78.37686123581359;
    QTest::newRow("5: resistivity 200000")
        << 5.0 << 250 << kTref << kCtc << 5.0 << 200000.0 << 2.4142715 << 0.025212238945662067;
    QTest::newRow("TDS k exactly 1.417: first fit (second gives 1000.1028)")
        << 1417.0 << 250 << kTref << kCtc << 1417.0 << 705.7163020465773 << 1000.10935454 << 70.470422943698;
    QTest::newRow("TDS k exactly 3.9: third fit (second gives 3000.04)")
        << 3900.0 << 250 << kTref << kCtc << 3900.0 << 256.4102564102564 << 3000.795 << 202.74852128456;
    QTest::newRow("salinity k exactly 2.5: second fit (first gives 149.133)")
        << 2500.0 << 180 << 180.0 << kCtc << 2500.0 << 400.0 << 2177.7927257977285 << 149.135;
    QTest::newRow("salinity k exactly 30: third fit (second gives 2109.06)")
        << 30000.0 << 180 << 180.0 << kCtc << 30000.0 << 1000000.0 / 30000.0 << 36573.530557057864 << 2058.57;
    QTest::newRow("reference temperature and coefficient move only COND")
        << 1000.0 << 300 << 200.0 << 100 << 909.090909090909 << 1100.0 << 627.0586776859504 << 44.517817730808545;
}

void TestDerive::condNumbers()
{
    QFETCH(double, raw);
    QFETCH(int, tempTenths);
    QFETCH(double, tref);
    QFETCH(int, ctc);
    QFETCH(double, condComp);
    QFETCH(double, resValue);
    QFETCH(double, tdsValue);
    QFETCH(double, salValue);
    const CondResult r = cond(raw, tempTenths, tref, ctc);
    QVERIFY2(closeTo(r.condComp, condComp), qPrintable(QString::number(r.condComp, 'g', 17)));
    QVERIFY2(closeTo(r.resValue, resValue), qPrintable(QString::number(r.resValue, 'g', 17)));
    QVERIFY2(closeTo(r.tdsValue, tdsValue), qPrintable(QString::number(r.tdsValue, 'g', 17)));
    QVERIFY2(closeTo(r.salValue, salValue), qPrintable(QString::number(r.salValue, 'g', 17)));
}

void TestDerive::displayBands_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<double>("x");
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("lcdValue");
    QTest::addColumn<QString>("lcdUnit");

    // Each band at its lower bound, and just below it in the next band down.
    QTest::newRow("cond 200000") << "cond" << 200000.0 << "200 mS/cm" << "200" << "mS/cm";
    QTest::newRow("cond 199900") << "cond" << 199900.0 << "199.9 mS/cm" << "199.9" << "mS/cm";
    QTest::newRow("cond 20000") << "cond" << 20000.0 << "20.0 mS/cm" << "20.0" << "mS/cm";
    QTest::newRow("cond 19990") << "cond" << 19990.0 << "19.99 mS/cm" << "19.99" << "mS/cm";
    QTest::newRow("cond 2000") << "cond" << 2000.0 << "2.00 mS/cm" << "2.00" << "mS/cm";
    QTest::newRow("cond 1999") << "cond" << 1999.0 << "1999 uS/cm" << "1.999" << "mS/cm";
    QTest::newRow("cond 200") << "cond" << 200.0 << "200 uS/cm" << "0.200" << "mS/cm";
    QTest::newRow("cond 199.9") << "cond" << 199.9 << "199.9 uS/cm" << "199.9" << "uS/cm";
    QTest::newRow("cond 20") << "cond" << 20.0 << "20.0 uS/cm" << "20.0" << "uS/cm";
    QTest::newRow("cond 19.99") << "cond" << 19.99 << "19.99 uS/cm" << "19.99" << "uS/cm";
    QTest::newRow("cond 0") << "cond" << 0.0 << "0.00 uS/cm" << "0.00" << "uS/cm";

    QTest::newRow("res 999000000") << "res" << 999000000.0 << "999 MR.cm" << "999" << "MR.cm";
    QTest::newRow("res 100000000") << "res" << 100000000.0 << "100 MR.cm" << "100" << "MR.cm";
    QTest::newRow("res 99900000") << "res" << 99900000.0 << "99.9 MR.cm" << "99.9" << "MR.cm";
    QTest::newRow("res 10000000") << "res" << 10000000.0 << "10.0 MR.cm" << "10.0" << "MR.cm";
    QTest::newRow("res 9990000") << "res" << 9990000.0 << "9.99 MR.cm" << "9.99" << "MR.cm";
    QTest::newRow("res 1000000") << "res" << 1000000.0 << "1.00 MR.cm" << "1.00" << "MR.cm";
    QTest::newRow("res 999000") << "res" << 999000.0 << "999 KR.cm" << "999" << "KR.cm";
    QTest::newRow("res 100000") << "res" << 100000.0 << "100 KR.cm" << "100" << "KR.cm";
    QTest::newRow("res 99900") << "res" << 99900.0 << "99.9 KR.cm" << "99.9" << "KR.cm";
    QTest::newRow("res 10000") << "res" << 10000.0 << "10.0 KR.cm" << "10.0" << "KR.cm";
    QTest::newRow("res 9990") << "res" << 9990.0 << "9.99 KR.cm" << "9.99" << "KR.cm";
    QTest::newRow("res 1000") << "res" << 1000.0 << "1.00 KR.cm" << "1.00" << "KR.cm";
    QTest::newRow("res 999") << "res" << 999.0 << "999 R.cm" << "999" << "R.cm";
    QTest::newRow("res 100") << "res" << 100.0 << "100 R.cm" << "100" << "R.cm";
    QTest::newRow("res 99.9") << "res" << 99.9 << "99.9 R.cm" << "99.9" << "R.cm";

    QTest::newRow("tds 100000") << "tds" << 100000.0 << "100 g/L" << "100" << "g/L";
    QTest::newRow("tds 99900") << "tds" << 99900.0 << "99.9 g/L" << "99.9" << "g/L";
    QTest::newRow("tds 10000") << "tds" << 10000.0 << "10.0 g/L" << "10.0" << "g/L";
    QTest::newRow("tds 9990") << "tds" << 9990.0 << "9.99 g/L" << "9.99" << "g/L";
    QTest::newRow("tds 1000") << "tds" << 1000.0 << "1.00 g/L" << "1.00" << "g/L";
    QTest::newRow("tds 999") << "tds" << 999.0 << "999 mg/L" << "999" << "mg/L";
    QTest::newRow("tds 100") << "tds" << 100.0 << "100 mg/L" << "100" << "mg/L";
    QTest::newRow("tds 99.9") << "tds" << 99.9 << "99.9 mg/L" << "99.9" << "mg/L";
    QTest::newRow("tds 10") << "tds" << 10.0 << "10.0 mg/L" << "10.0" << "mg/L";
    QTest::newRow("tds 9.99") << "tds" << 9.99 << "9.99 mg/L" << "9.99" << "mg/L";
    QTest::newRow("tds 0") << "tds" << 0.0 << "0.00 mg/L" << "0.00" << "mg/L";

    QTest::newRow("sal 10000") << "sal" << 10000.0 << "100 ppt" << "100" << "ppt";
    QTest::newRow("sal 9990") << "sal" << 9990.0 << "99.9 ppt" << "99.9" << "ppt";
    QTest::newRow("sal 1000") << "sal" << 1000.0 << "10.0 ppt" << "10.0" << "ppt";
    QTest::newRow("sal 999") << "sal" << 999.0 << "9.99 ppt" << "9.99" << "ppt";
    QTest::newRow("sal 0") << "sal" << 0.0 << "0.00 ppt" << "0.00" << "ppt";
}

void TestDerive::displayBands()
{
    QFETCH(QString, table);
    QFETCH(double, x);
    const DerivedText t = displayText(bandsNamed(table), x);
    QTEST(t.cell, "cell");
    QTEST(t.lcdValue, "lcdValue");
    QTEST(t.lcdUnit, "lcdUnit");
}

void TestDerive::coefIndex_data()
{
    QTest::addColumn<int>("tempTenths");
    QTest::addColumn<int>("index");

    QTest::newRow("25.0") << 250 << 25;
    QTest::newRow("25.5 halves to even, up") << 255 << 26;
    QTest::newRow("24.5 halves to even, down") << 245 << 24;
    QTest::newRow("1.5") << 15 << 2;
    QTest::newRow("0.5") << 5 << 0;
    QTest::newRow("-0.5 rounds to 0") << -5 << 0;
    QTest::newRow("-0.6 below the table") << -6 << 0;
    QTest::newRow("-50.0 below the table") << -500 << 0;
    QTest::newRow("48.5") << 485 << 48;
    QTest::newRow("49.5") << 495 << 50;
    QTest::newRow("50.5 above the table") << 505 << 50;
    QTest::newRow("154.7 above the table") << 1547 << 50;
}

void TestDerive::coefIndex()
{
    QFETCH(int, tempTenths);
    QFETCH(int, index);
    QCOMPARE(tempCoefIndex(tempTenths), index);

    // The salinity must read exactly that entry: a table that is zero except
    // at one index changes the result only when that index is the one read.
    std::array<qint16, 51> zeros{};
    const double plain = condQuantities({1413, tempTenths, kTref, kCtc}, zeros).salValue;
    for (int probe = index - 1; probe <= index + 1; ++probe) {
        if (probe < 0 || probe > 50)
            continue;
        std::array<qint16, 51> table{};
        table[std::size_t(probe)] = 100;
        const double s = condQuantities({1413, tempTenths, kTref, kCtc}, table).salValue;
        if (probe == index)
            QVERIFY2(s != plain, "the expected entry was not used");
        else
            QVERIFY2(s == plain, qPrintable(QStringLiteral("entry %1 was used").arg(probe)));
    }
}

void TestDerive::compensationDivisor_data()
{
    QTest::addColumn<double>("raw");
    QTest::addColumn<int>("tempTenths");
    QTest::addColumn<double>("tref");
    QTest::addColumn<int>("ctc");
    QTest::addColumn<QString>("condCell");
    QTest::addColumn<QString>("resCell");
    QTest::addColumn<QString>("tdsCell");
    QTest::addColumn<QString>("salCell");

    QTest::newRow("COND divisor exactly 0 (-50.0 °C, Tref 0, 2 %/°C)")
        << 1413.0 << -500 << 0.0 << 200 << "0.00 uS/cm" << "999 MR.cm" << "0.00 mg/L" << "0.00 ppt";
    QTest::newRow("COND divisor below 0 (Tref 50.0, 10 %/°C)")
        << 1413.0 << -500 << 500.0 << 1000 << "0.00 uS/cm" << "999 MR.cm" << "0.00 mg/L" << "0.00 ppt";
    QTest::newRow("TDS divisor exactly 0 at -25.0 °C")
        << 1413.0 << -250 << kTref << 0 << "1413 uS/cm" << "708 R.cm" << "0.00 mg/L" << "10.4 ppt";
    QTest::newRow("TDS and salinity divisors below 0 at -30.0 °C")
        << 1413.0 << -300 << kTref << 0 << "1413 uS/cm" << "708 R.cm" << "0.00 mg/L" << "0.00 ppt";
    QTest::newRow("TDS and salinity divisors below 0, strong reading at -50.0 °C")
        << 32767.0 << -500 << kTref << 0 << "32.8 mS/cm" << "30.5 R.cm" << "0.00 mg/L" << "0.00 ppt";
    QTest::newRow("salinity divisor barely positive at -29.2 °C")
        << 1413.0 << -292 << kTref << 0 << "1413 uS/cm" << "708 R.cm" << "0.00 mg/L" << "100 ppt";
    QTest::newRow("salinity divisor below 0 at -29.3 °C")
        << 1413.0 << -293 << kTref << 0 << "1413 uS/cm" << "708 R.cm" << "0.00 mg/L" << "0.00 ppt";
}

void TestDerive::compensationDivisor()
{
    QFETCH(double, raw);
    QFETCH(int, tempTenths);
    QFETCH(double, tref);
    QFETCH(int, ctc);
    const CondResult r = cond(raw, tempTenths, tref, ctc);
    QTEST(r.cond.cell, "condCell");
    QTEST(r.res.cell, "resCell");
    QTEST(r.tds.cell, "tdsCell");
    QTEST(r.sal.cell, "salCell");
}

void TestDerive::condTextsFiniteForEveryFieldValue()
{
    // Every raw value the reading frame can carry: a signed 16-bit field,
    // scaled by a decade 10^-3 .. 10^3 or taken as read.
    QList<double> raws;
    for (double field : {-32768.0, -1.0, 0.0, 1.0, 1413.0, 32767.0})
        for (int r = 7; r <= 13; ++r)
            raws << field * std::pow(10.0, r - 10);
    const double trefs[] = {0, 250, 511};
    const int ctcs[] = {-1023, -1, 0, 200, 1023};

    for (int t = -500; t <= 1547; t += 7) {
        for (double raw : raws) {
            for (double tref : trefs) {
                for (int ctc : ctcs) {
                    const CondResult r = cond(raw, t, tref, ctc);
                    const DerivedText *texts[] = {&r.cond, &r.res, &r.tds, &r.sal};
                    for (const DerivedText *d : texts) {
                        if (!readable(d->cell) || !readable(d->lcdValue)) {
                            QFAIL(qPrintable(QStringLiteral("raw %1 t %2 tref %3 ctc %4: \"%5\" / \"%6\"")
                                                 .arg(raw).arg(t).arg(tref).arg(ctc).arg(d->cell, d->lcdValue)));
                        }
                    }
                    QVERIFY(r.condComp >= 0);
                    QVERIFY(r.resValue > 0 && (r.resValue <= 100000000 || r.resValue == 999000000));
                    QVERIFY(r.tdsValue >= 0 && r.tdsValue <= 100000);
                    QVERIFY(r.salValue >= 0 && r.salValue <= 10000);
                }
            }
        }
    }
}

// ---------------------------------------------------------------- ions

void TestDerive::ionConversion_data()
{
    QTest::addColumn<int>("ionType");
    QTest::addColumn<double>("massBefore");
    QTest::addColumn<double>("px");
    QTest::addColumn<int>("mode");
    QTest::addColumn<double>("molarMass");
    QTest::addColumn<QString>("pxCell");
    QTest::addColumn<QString>("molCell");
    QTest::addColumn<QString>("mgCell");
    QTest::addColumn<QString>("ppmCell");
    QTest::addColumn<QString>("lcdValue");
    QTest::addColumn<QString>("lcdUnit");
    QTest::addColumn<QString>("lcdExponent");

    QTest::newRow("Na pX 3, mode 5") << 1 << 0.0 << 3.0 << 5 << 22.99
        << "3.00" << "1.00E-03" << "22.99 mg/L" << "22.99 ppm" << "3.00" << "pX" << "";
    QTest::newRow("Na pX 3, mode 6") << 1 << 0.0 << 3.0 << 6 << 22.99
        << "3.00" << "1.00E-03" << "22.99 mg/L" << "22.99 ppm" << "1.00" << "mol" << "-3";
    QTest::newRow("Na pX 3, mode 7") << 1 << 0.0 << 3.0 << 7 << 22.99
        << "3.00" << "1.00E-03" << "22.99 mg/L" << "22.99 ppm" << "22.99" << "mg/L" << "";
    QTest::newRow("Na pX 3, mode 8") << 1 << 0.0 << 3.0 << 8 << 22.99
        << "3.00" << "1.00E-03" << "22.99 mg/L" << "22.99 ppm" << "22.99" << "ppm" << "";
    QTest::newRow("F pX 0, mode 7") << 0 << 0.0 << 0.0 << 7 << 19.0
        << "0.00" << "1.00E+00" << "19.00 g/L" << "----" << "19.00" << "g/L" << "";
    QTest::newRow("F pX 0, mode 8: beyond the ppm display") << 0 << 0.0 << 0.0 << 8 << 19.0
        << "0.00" << "1.00E+00" << "19.00 g/L" << "----" << "999.9" << "ppm" << "";
    QTest::newRow("F pX 7, mode 8: traces in ppt") << 0 << 0.0 << 7.0 << 8 << 19.0
        << "7.00" << "1.00E-07" << "0.002 mg/L" << "1.9 ppt" << "1.9" << "ppt" << "";
    QTest::newRow("Na pX -1, mode 6") << 1 << 0.0 << -1.0 << 6 << 22.99
        << "-1.00" << "1.00E+01" << "229.9 g/L" << "----" << "1.00" << "mol" << " 1";
    QTest::newRow("CUS 123 g/mol pX 5, mode 7") << 10 << 123.0 << 5.0 << 7 << 123.0
        << "5.00" << "1.00E-05" << "1.230 mg/L" << "1.230 ppm" << "1.230" << "mg/L" << "";
    QTest::newRow("fixed ion replaces a held molar mass") << 2 << 123.0 << 3.0 << 7 << 35.45
        << "3.00" << "1.00E-03" << "35.45 mg/L" << "35.45 ppm" << "35.45" << "mg/L" << "";
    QTest::newRow("unnamed ion 11 keeps the held molar mass") << 11 << 40.08 << 3.0 << 7 << 40.08
        << "3.00" << "1.00E-03" << "40.08 mg/L" << "40.08 ppm" << "40.08" << "mg/L" << "";
    QTest::newRow("unnamed ion 15, nothing held yet") << 15 << 0.0 << 3.0 << 8 << 0.0
        << "3.00" << "1.00E-03" << "0.000 mg/L" << "0.0 ppt" << "0.0" << "ppt" << "";
}

void TestDerive::ionConversion()
{
    QFETCH(int, ionType);
    QFETCH(double, massBefore);
    QFETCH(double, px);
    QFETCH(int, mode);
    QFETCH(double, molarMass);
    const IonResult r = ionConcentrations(px, ionType, massBefore, mode);
    QCOMPARE(r.molarMass, molarMass);
    QTEST(r.cells[0], "pxCell");
    QTEST(r.cells[1], "molCell");
    QTEST(r.cells[2], "mgCell");
    QTEST(r.cells[3], "ppmCell");
    QTEST(r.lcdValue, "lcdValue");
    QTEST(r.lcdUnit, "lcdUnit");
    QTEST(r.lcdExponent, "lcdExponent");
}

void TestDerive::ionTable_data()
{
    QTest::addColumn<int>("ionType");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("mgAtPx3");   // 1 mmol/L: the mass cell shows the molar mass

    QTest::newRow("0") << 0 << "F" << "19.00 mg/L";
    QTest::newRow("1") << 1 << "Na" << "22.99 mg/L";
    QTest::newRow("2") << 2 << "Cl" << "35.45 mg/L";
    QTest::newRow("3") << 3 << "NH4" << "18.05 mg/L";
    QTest::newRow("4") << 4 << "NO3" << "62.01 mg/L";
    QTest::newRow("5") << 5 << "Cu" << "63.55 mg/L";
    QTest::newRow("6") << 6 << "K" << "39.10 mg/L";
    QTest::newRow("7") << 7 << "I" << "126.9 mg/L";
    QTest::newRow("8") << 8 << "Br" << "79.90 mg/L";
    QTest::newRow("9") << 9 << "Ca" << "40.08 mg/L";
    QTest::newRow("10 user's ion, 0 held") << 10 << "CUS" << "0.000 mg/L";
}

void TestDerive::ionTable()
{
    QFETCH(int, ionType);
    QTEST(QString::fromLatin1(kIonTable[std::size_t(ionType)].name), "name");
    QTEST(ionConcentrations(3.0, ionType, 0.0, 7).cells[2], "mgAtPx3");
}

void TestDerive::massBands_data()
{
    QTest::addColumn<double>("molarMass");   // of the user's ion
    QTest::addColumn<double>("px");
    QTest::addColumn<double>("boundHit");    // the bound m must equal exactly; 0: not on a bound
    QTest::addColumn<QString>("mgCell");
    QTest::addColumn<QString>("ppmCell");
    QTest::addColumn<QString>("mgLcd");
    QTest::addColumn<QString>("mgLcdUnit");
    QTest::addColumn<QString>("ppmLcd");
    QTest::addColumn<QString>("ppmLcdUnit");

    QTest::newRow("m 100000") << 100.0 << 0.0 << 100000.0
        << "100.0 g/L" << "----" << "100.0" << "g/L" << "999.9" << "ppm";
    QTest::newRow("m 99990") << 99.99 << 0.0 << 0.0
        << "99.99 g/L" << "----" << "99.99" << "g/L" << "999.9" << "ppm";
    QTest::newRow("m 10000") << 10.0 << 0.0 << 10000.0
        << "10.00 g/L" << "----" << "10.00" << "g/L" << "999.9" << "ppm";
    QTest::newRow("m 9990") << 9.99 << 0.0 << 0.0
        << "9.990 g/L" << "----" << "9.990" << "g/L" << "999.9" << "ppm";
    QTest::newRow("m 1000") << 1.0 << 0.0 << 1000.0
        << "1.000 g/L" << "----" << "1.000" << "g/L" << "999.9" << "ppm";
    QTest::newRow("m 999") << 999.0 << 3.0 << 0.0
        << "999.0 mg/L" << "999.0 ppm" << "999.0" << "mg/L" << "999.0" << "ppm";
    QTest::newRow("m 100") << 10.0 << 2.0 << 100.0
        << "100.0 mg/L" << "100.0 ppm" << "100.0" << "mg/L" << "100.0" << "ppm";
    QTest::newRow("m 99.99") << 99.99 << 3.0 << 0.0
        << "99.99 mg/L" << "99.99 ppm" << "99.99" << "mg/L" << "99.99" << "ppm";
    QTest::newRow("m 10") << 10.0 << 3.0 << 10.0
        << "10.00 mg/L" << "10.00 ppm" << "10.00" << "mg/L" << "10.00" << "ppm";
    QTest::newRow("m 9.999") << 9.999 << 3.0 << 0.0
        << "9.999 mg/L" << "9.999 ppm" << "9.999" << "mg/L" << "9.999" << "ppm";
    QTest::newRow("m 0.01") << 1.0 << 5.0 << 0.01
        << "0.010 mg/L" << "0.010 ppm" << "0.010" << "mg/L" << "0.010" << "ppm";
    QTest::newRow("m 0.0099") << 99.0 << 7.0 << 0.0
        << "0.010 mg/L" << "9.9 ppt" << "0.010" << "mg/L" << "9.9" << "ppt";
}

void TestDerive::massBands()
{
    QFETCH(double, molarMass);
    QFETCH(double, px);
    QFETCH(double, boundHit);
    const IonResult r7 = ionConcentrations(px, kCustomIonType, molarMass, 7);
    const IonResult r8 = ionConcentrations(px, kCustomIonType, molarMass, 8);
    if (boundHit != 0)
        QCOMPARE(r7.mgValue, boundHit);
    QTEST(r7.cells[2], "mgCell");
    QTEST(r7.cells[3], "ppmCell");
    QCOMPARE(r8.cells[2], r7.cells[2]);
    QCOMPARE(r8.cells[3], r7.cells[3]);
    QTEST(r7.lcdValue, "mgLcd");
    QTEST(r7.lcdUnit, "mgLcdUnit");
    QTEST(r8.lcdValue, "ppmLcd");
    QTEST(r8.lcdUnit, "ppmLcdUnit");
    QCOMPARE(r7.lcdExponent, QString());
    QCOMPARE(r8.lcdExponent, QString());
}

void TestDerive::molExponent_data()
{
    QTest::addColumn<double>("px");
    QTest::addColumn<QString>("mantissa");
    QTest::addColumn<QString>("exponent");

    QTest::newRow("pX 3") << 3.0 << "1.00" << "-3";
    QTest::newRow("pX 0") << 0.0 << "1.00" << " 0";
    QTest::newRow("pX -1") << -1.0 << "1.00" << " 1";
    QTest::newRow("pX 3.001") << 3.001 << "9.98" << "-4";
    QTest::newRow("pX 10.5") << 10.5 << "3.16" << "-11";
    QTest::newRow("smallest field, pX 32.767") << 32.767 << "1.71" << "-33";
    QTest::newRow("largest field, pX -32.768") << -32.768 << "5.86" << " 32";
}

void TestDerive::molExponent()
{
    QFETCH(double, px);
    const IonResult r = ionConcentrations(px, 1, 0.0, 6);
    QTEST(r.lcdValue, "mantissa");
    QCOMPARE(r.lcdUnit, QStringLiteral("mol"));
    QTEST(r.lcdExponent, "exponent");
}

void TestDerive::ionLcdOnlyInIonModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("sets");
    QTest::newRow("4") << 4 << false;
    QTest::newRow("5") << 5 << true;
    QTest::newRow("8") << 8 << true;
    QTest::newRow("9") << 9 << false;
}

void TestDerive::ionLcdOnlyInIonModes()
{
    QFETCH(int, mode);
    const IonResult r = ionConcentrations(3.0, 1, 0.0, mode);
    QTEST(r.lcdSet, "sets");
    // The grid cells do not depend on the mode.
    QCOMPARE(r.cells[2], QStringLiteral("22.99 mg/L"));
}

void TestDerive::ionTextsFiniteForEveryFieldValue()
{
    const double pxs[] = {-32.768, -32.767, -5.0, -0.001, 0.0, 0.001, 12.345, 32.767};
    const double held[] = {0.0, 1.0, 123.0, 4095.0};
    for (int ion = 0; ion <= 15; ++ion) {
        for (double px : pxs) {
            for (double before : held) {
                for (int mode = 5; mode <= 8; ++mode) {
                    const IonResult r = ionConcentrations(px, ion, before, mode);
                    for (const QString &cell : r.cells)
                        QVERIFY2(readable(cell), qPrintable(QStringLiteral("ion %1 pX %2 held %3: \"%4\"")
                                                                .arg(ion).arg(px).arg(before).arg(cell)));
                    QVERIFY2(readable(r.lcdValue), qPrintable(r.lcdValue));
                    QVERIFY(std::isfinite(r.mgValue));
                }
            }
        }
    }
}

QTEST_GUILESS_MAIN(TestDerive)
#include "tst_derive.moc"
