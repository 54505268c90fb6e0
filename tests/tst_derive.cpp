#include "derive/CondQuantities.h"
#include "derive/IonConcentration.h"
#include "derive/IonTable.h"
#include "derive/TempCoefTable.h"
#include "support/DataTable.h"
#include "support/OwnHome.h"

#include <cmath>

namespace {

// Compensation as most meters leave the factory: 25.0 °C, 2.00 %/°C.
constexpr double kTref = 250;
constexpr int kCtc = 200;

} // namespace

class TestDerive : public QObject
{
    Q_OBJECT
public:
    static void initMain() { useOwnHome(); }

private slots:
    void tempCoefTableIsSmooth()
    {
        // A mistyped entry shows up as a step outside what the measured curve
        // does: it rises by 2 to 13 thousandths of a percent per degree.
        for (std::size_t i = 1; i < kTempCoefValues.size(); ++i) {
            const int step = kTempCoefValues[i] - kTempCoefValues[i - 1];
            QVERIFY2(step >= 2 && step <= 13, qPrintable(QStringLiteral("step into %1 is %2").arg(i).arg(step)));
        }
    }

    void conductivity_data()
    {
        // cells: COND, RES, TDS, SAL; empty: not checked
        // values: CondComp, ResValue, TdsValue, SalValue; empty: not checked
        columns<double, int, double, int, QStringList, QList<double>>(
            "raw", "tempTenths", "tref", "ctc", "cells", "values");
        auto row = [](const char *name, double raw, int t, double tref, int ctc, const QStringList &cells,
                      const QList<double> &values = {}) {
            QTest::newRow(name) << raw << t << tref << ctc << cells << values;
        };
        const QStringList none{"0.00 uS/cm", "999 MR.cm", "0.00 mg/L", "0.00 ppt"};
        const QStringList at1413{"1413 uS/cm", "708 R.cm"};

        row("1413 at 25.0", 1413, 250, kTref, kCtc, at1413 + QStringList{"997 mg/L", "0.70 ppt"});
        row("1413 at 20.0", 1413, 200, kTref, kCtc, {"1570 uS/cm", "637 R.cm", "1.12 g/L", "0.78 ppt"});
        row("12880", 12880, 250, kTref, kCtc, {"12.88 mS/cm", "77.6 R.cm", "11.7 g/L", "7.08 ppt"});
        row("150000: TDS and salinity at their ceiling", 150000, 250, kTref, kCtc,
            {"150.0 mS/cm", "6.7 R.cm", "100 g/L", "100 ppt"});
        row("0.001: resistivity held at the ceiling", 0.001, 250, kTref, kCtc,
            {"0.00 uS/cm", "100 MR.cm", "0.00 mg/L", "0.00 ppt"});
        row("0", 0, 250, kTref, kCtc, none);
        // The fits' square terms would make a large negative reading salty.
        row("large negative reading: no solids or salt", -300000, 250, kTref, kCtc, none);
        // Compensation divisors at zero or below give none rather than inf.
        row("COND divisor exactly 0 (-50.0 °C, Tref 0)", 1413, -500, 0, 200, none);
        row("COND divisor below 0 (Tref 50.0, 10 %/°C)", 1413, -500, 500, 1000, none);
        row("TDS divisor exactly 0 at -25.0 °C", 1413, -250, kTref, 0, at1413 + QStringList{"0.00 mg/L", "10.4 ppt"});
        row("salinity divisor barely positive at -29.2 °C", 1413, -292, kTref, 0,
            at1413 + QStringList{"0.00 mg/L", "100 ppt"});
        row("salinity divisor below 0 at -29.3 °C", 1413, -293, kTref, 0,
            at1413 + QStringList{"0.00 mg/L", "0.00 ppt"});
        // Worked out independently from the fits. Where k sits exactly on a
        // fit's boundary the neighbouring fit differs only in the decimals.
        row("TDS k exactly 1.417: first fit (second gives 1000.1028)", 1417, 250, kTref, kCtc, {},
            {1417.0, 705.7163020465773, 1000.10935454, 70.470422943698});
        row("TDS k exactly 3.9: third fit (second gives 3000.04)", 3900, 250, kTref, kCtc, {},
            {3900.0, 256.4102564102564, 3000.795, 202.74852128456});
        row("salinity k exactly 2.5: second fit (first gives 149.133)", 2500, 180, 180, kCtc, {},
            {2500.0, 400.0, 2177.7927257977285, 149.135});
        row("salinity k exactly 30: third fit (second gives 2109.06)", 30000, 180, 180, kCtc, {},
            {30000.0, 1000000.0 / 30000.0, 36573.530557057864, 2058.57});
        row("reference temperature and coefficient move only COND", 1000, 300, 200, 100, {},
            {909.090909090909, 1100.0, 627.0586776859504, 44.517817730808545});
    }

    void conductivity()
    {
        auto [raw, tempTenths, tref, ctc, cells, values] = fetch<double, int, double, int, QStringList, QList<double>>(
            "raw", "tempTenths", "tref", "ctc", "cells", "values");
        const CondResult r = condQuantities(CondInputs{raw, tempTenths, tref, ctc}, kTempCoefValues);
        if (!cells.isEmpty())
            QCOMPARE((QStringList{r.cond.cell, r.res.cell, r.tds.cell, r.sal.cell}), cells);
        const double got[4] = {r.condComp, r.resValue, r.tdsValue, r.salValue};
        for (int i = 0; i < values.size(); ++i)
            QVERIFY2(std::fabs(got[i] - values[i]) <= 1e-9 * qMax(1.0, std::fabs(values[i])),
                     qPrintable(QStringLiteral("value %1 is %2").arg(i).arg(got[i], 0, 'g', 17)));
    }

    void displayBands_data()
    {
        columns<int, double, QString, QString>("table", "x", "cell", "lcd");
        struct Case { int table; double x; const char *cell; const char *lcd = nullptr; };   // no lcd: as the cell
        // Tables 0 COND, 1 RES, 2 TDS, 3 SAL. Each band at its lower bound, and
        // one value just below a bound per table.
        const Case cases[] = {
            {0, 200000, "200 mS/cm"}, {0, 20000, "20.0 mS/cm"}, {0, 2000, "2.00 mS/cm"},
            {0, 1999, "1999 uS/cm", "1.999 mS/cm"}, {0, 200, "200 uS/cm", "0.200 mS/cm"}, {0, 20, "20.0 uS/cm"},
            {1, 1e8, "100 MR.cm"}, {1, 1e7, "10.0 MR.cm"}, {1, 1e6, "1.00 MR.cm"}, {1, 1e5, "100 KR.cm"},
            {1, 1e4, "10.0 KR.cm"}, {1, 1e3, "1.00 KR.cm"}, {1, 100, "100 R.cm"}, {1, 99.9, "99.9 R.cm"},
            {2, 1e5, "100 g/L"}, {2, 1e4, "10.0 g/L"}, {2, 1000, "1.00 g/L"}, {2, 999, "999 mg/L"},
            {2, 100, "100 mg/L"}, {2, 10, "10.0 mg/L"},
            {3, 10000, "100 ppt"}, {3, 1000, "10.0 ppt"}, {3, 999, "9.99 ppt"},
        };
        for (const Case &c : cases)
            QTest::addRow("table %d, %g", c.table, c.x)
                << c.table << c.x << QString(c.cell) << QString(c.lcd ? c.lcd : c.cell);
    }

    void displayBands()
    {
        auto [table, x] = fetch<int, double>("table", "x");
        const std::span<const DisplayBand> tables[4] = {kCondDisplay, kResDisplay, kTdsDisplay, kSalDisplay};
        const DerivedText t = displayText(tables[table], x);
        QTEST(t.cell, "cell");
        QTEST(t.lcdValue + QLatin1Char(' ') + t.lcdUnit, "lcd");
    }

    void coefIndex()
    {
        // Whole degrees, halves to even (25.5 up, 24.5 down), held inside
        // 0..50 °C (-0.6 and -50.0 °C below the table, 154.7 °C above).
        for (const auto &[tempTenths, index] :
             {std::pair{250, 25}, {255, 26}, {245, 24}, {-6, 0}, {-500, 0}, {1547, 50}}) {
            QCOMPARE(tempCoefIndex(tempTenths), index);
            // The salinity must read exactly that entry: a table that is zero except
            // at one index changes the result only when that index is the one read.
            const double plain = condQuantities({1413, tempTenths, kTref, kCtc}, {}).salValue;
            for (int probe = qMax(0, index - 1); probe <= qMin(50, index + 1); ++probe) {
                std::array<qint16, 51> table{};
                table[std::size_t(probe)] = 100;
                const double s = condQuantities({1413, tempTenths, kTref, kCtc}, table).salValue;
                QVERIFY2((s != plain) == (probe == index),
                         qPrintable(QStringLiteral("%1: entry %2").arg(tempTenths).arg(probe)));
            }
        }
    }

    void ionConversion_data()
    {
        // cells: pX, mol, mg, ppm
        // lcd: in modes 5..8; empty: not checked
        columns<int, double, double, double, QStringList, QStringList>(
            "ionType", "massBefore", "px", "molarMass", "cells", "lcd");

        auto row = [](const char *name, int ion, double held, double px, double molarMass, const QStringList &cells,
                      const QStringList &lcd = {}) {
            QTest::newRow(name) << ion << held << px << molarMass << cells << lcd;
        };
        row("Na pX 3", 1, 0, 3, 22.99, {"3.00", "1.00E-03", "22.99 mg/L", "22.99 ppm"},
            {"3.00 pX", "1.00 mol^-3", "22.99 mg/L", "22.99 ppm"});
        row("F pX 0: beyond the ppm display", 0, 0, 0, 19.0, {"0.00", "1.00E+00", "19.00 g/L", "----"},
            {"0.00 pX", "1.00 mol^ 0", "19.00 g/L", "999.9 ppm"});
        row("F pX 7: traces in ppt", 0, 0, 7, 19.0, {"7.00", "1.00E-07", "0.002 mg/L", "1.9 ppt"},
            {"7.00 pX", "1.00 mol^-7", "0.002 mg/L", "1.9 ppt"});
        row("Na pX -1", 1, 0, -1, 22.99, {"-1.00", "1.00E+01", "229.9 g/L", "----"},
            {"-1.00 pX", "1.00 mol^ 1", "229.9 g/L", "999.9 ppm"});
        row("CUS 123 g/mol pX 5", 10, 123, 5, 123, {"5.00", "1.00E-05", "1.230 mg/L", "1.230 ppm"});
        row("fixed ion replaces a held molar mass", 2, 123, 3, 35.45, {"3.00", "1.00E-03", "35.45 mg/L", "35.45 ppm"});
        row("unnamed ion 11 keeps the held molar mass", 11, 40.08, 3, 40.08,
            {"3.00", "1.00E-03", "40.08 mg/L", "40.08 ppm"});
        row("unnamed ion 15, nothing held yet", 15, 0, 3, 0, {"3.00", "1.00E-03", "0.000 mg/L", "0.0 ppt"});
        // A user's ion whose mass lands on a band's lower bound, or just below.
        row("1000 mg/L: g/L", 10, 1, 0, 1, {"0.00", "1.00E+00", "1.000 g/L", "----"});
        row("999 mg/L", 10, 999, 3, 999, {"3.00", "1.00E-03", "999.0 mg/L", "999.0 ppm"});
        row("100 mg/L", 10, 10, 2, 10, {"2.00", "1.00E-02", "100.0 mg/L", "100.0 ppm"});
        row("0.01 mg/L", 10, 1, 5, 1, {"5.00", "1.00E-05", "0.010 mg/L", "0.010 ppm"});
        row("0.0099 mg/L: ppt", 10, 99, 7, 99, {"7.00", "1.00E-07", "0.010 mg/L", "9.9 ppt"});
    }

    void ionConversion()
    {
        auto [ionType, massBefore, px, lcd] = fetch<int, double, double, QStringList>(
            "ionType", "massBefore", "px", "lcd");
        // The grid cells do not depend on the mode; the LCD is set in modes 5..8 only.
        for (int mode = 4; mode <= 9; ++mode) {
            const IonResult r = ionConcentrations(px, ionType, massBefore, mode);
            QTEST(r.molarMass, "molarMass");
            QTEST((QStringList{r.cells[0], r.cells[1], r.cells[2], r.cells[3]}), "cells");
            QCOMPARE(r.lcdSet, mode >= 5 && mode <= 8);
            if (r.lcdSet && !lcd.isEmpty())
                QCOMPARE(r.lcdValue + ' ' + r.lcdUnit + (r.lcdExponent.isEmpty() ? "" : '^' + r.lcdExponent),
                         lcd[mode - 5]);
        }
    }
};

QTEST_GUILESS_MAIN(TestDerive)
#include "tst_derive.moc"
