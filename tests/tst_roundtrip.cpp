// Frames written by the simulator's own encoders, which share no code with
// the decoders, read back through the program: a fault on either side of the
// bit layouts shows up here.
#include "SimFrames.h"
#include "support/FakeMeter.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {
QByteArray bytes(const std::string &s) { return QByteArray::fromStdString(s); }
}

class RoundTrip : public QObject
{
    Q_OBJECT
private slots:
    void liveReadings_data()
    {
        QTest::addColumn<int>("mode");
        for (int mode = 0; mode < 16; ++mode)
            QTest::addRow("mode %d", mode) << mode;
    }
    void liveReadings()
    {
        QFETCH(int, mode);
        QRandomGenerator rng(quint32(1000 + mode));
        for (int n = 0; n < 200; ++n) {
            Bench b;
            sim::LiveReading r;
            r.mode = mode;
            r.decimals = rng.bounded(4);
            r.month = rng.bounded(1, 13);
            r.day = rng.bounded(1, 32);
            r.hour = rng.bounded(24);
            r.minute = rng.bounded(60);
            r.second = rng.bounded(60);
            r.value = rng.bounded(-32768, 32768);
            r.rangeCode = rng.bounded(16);
            r.manualTemp = rng.bounded(2) == 1;
            r.tempTenths = rng.bounded(-500, 1548);
            r.saturationTenths = rng.bounded(-32768, 32768);
            r.pressureTenths = rng.bounded(-32768, 32768);
            r.salinity = rng.bounded(-32768, 32768);
            b.feed(bytes(sim::encodeLive(r)));

            const Module1 &m = b.core.m;
            QCOMPARE(m.MeasMode.toInt(), mode);
            QCOMPARE(m.ReadMonth.toInt(), r.month);
            QCOMPARE(m.ReadDay.toInt(), r.day);
            QCOMPARE(int(m.ReadSecond), r.second);
            QCOMPARE(int(m.TempTenths), r.tempTenths);
            QCOMPARE(int(m.MtcFlag), r.manualTemp ? 1 : 0);
            QCOMPARE(b.cell(1, 2), QStringLiteral("%1:%2:%3").arg(r.hour).arg(r.minute, 2, 10, QLatin1Char('0'))
                                       .arg(r.second, 2, 10, QLatin1Char('0')));
            QCOMPARE(b.lcd(6), r.manualTemp ? QString() : QStringLiteral("ATC"));
            if (mode == 1)
                QCOMPARE(m.PhValue.toDouble(), r.value / 1000.0);
            if (mode >= 2 && mode <= 4)
                QCOMPARE(m.MvValue.toDouble(), r.value / 10.0);
            if (mode >= 5 && mode <= 8) {
                QCOMPARE(m.PxValue.toDouble(), r.value / 1000.0);
                QCOMPARE(int(m.IonType), r.rangeCode);
            }
            if (mode >= 9 && mode <= 12) {
                const bool scaled = r.rangeCode >= 7 && r.rangeCode <= 13;
                QCOMPARE(m.CondRaw.toDouble(), scaled ? r.value * std::pow(10.0, r.rangeCode - 10) : r.value);
            }
            if (mode >= 13) {
                QCOMPARE(m.DoValue.toDouble(), r.value / 100.0);
                QCOMPARE(m.DoSaturation.toDouble(), r.saturationTenths / 10.0);
                QCOMPARE(m.AirPressure.toDouble(), r.pressureTenths / 10.0);
                QCOMPARE(m.DoSalinity.toDouble(), double(r.salinity));
            }
            for (int c = 0; c < 8; ++c)   // every cell a finite text
                QVERIFY(!b.cell(1, c).contains(QLatin1String("nan")) && !b.cell(1, c).contains(QLatin1String("inf")));
        }
    }

    void settingsPages_data()
    {
        QTest::addColumn<int>("family");
        QTest::addColumn<QStringList>("rows");   // caption=value for rows 0..
        sim::Settings s;
        QTest::newRow("pH") << 0 << QStringList{"Solu :=CH", "PU_1 :=OFF", "PU_2 :=OFF", "Timer :=2:05",
                                                  "Cal:=9.182,6.864", "Offset :=-1.4mV", "Slope :=98.7%"};
        QTest::newRow("mV") << 1 << QStringList{"Uref :=207.5 mV", "Timer :=2:05"};
        QTest::newRow("ISE") << 2 << QStringList{"ISE :=CUS", "Cal1 :=2.00pX", "Cal2 :=-4.00pX", "Timer :=2:05"};
        QTest::newRow("COND") << 3 << QStringList{"Solu :=USA", "Con :=0.998", "Tref :=25°C", "CTC :=1.91%",
                                                    "Timer :=2:05"};
        QTest::newRow("DO") << 4 << QStringList{"RES :=0.1mg,1%", "Timer :=2:05"};
    }
    void settingsPages()
    {
        QFETCH(int, family);
        QFETCH(QStringList, rows);
        sim::Settings s;
        s.family = family;
        s.timerSeconds = 125;
        s.ph.bufferSet = 1;
        s.ph.calBuffers = 8 | 4;
        s.ph.offsetHundredthsMv = -135;
        s.ph.slopeTenthsPercent = 987;
        s.mv.urefTenthsMv = 2075;
        s.ise.ion = 10;
        s.ise.molarMass = 123;
        s.ise.cal1Hundredths = 200;
        s.ise.cal2Hundredths = -400;
        s.cond.standardSet = 2;
        s.cond.cellDecimals = 5;
        s.cond.cellConstant = 998;
        s.cond.coefHundredths = 191;
        s.cond.calStandard = 3;
        s.oxygen.resolution = 1;
        Bench b;
        b.feed(bytes(sim::encodeSettings(s)));
        QCOMPARE(b.core.m.MeterFamily.toInt(), family);
        QCOMPARE(b.core.m.TempUnit.toInt(), 1);
        for (int i = 0; i < 7; ++i) {
            const QString got = b.caption(i) + QLatin1Char('=') + b.value(i);
            QCOMPARE(got, i < rows.size() ? rows[i] : QStringLiteral("="));
            QCOMPARE(b.core.panel.Line2[std::size_t(i)], i < rows.size());
        }
        QCOMPARE(b.core.enabled.cmdStdAdd, family == 2);
        if (family == 2)
            QCOMPARE(b.core.m.MolarMass, 123.0);
    }

    // What the simulator answers to "@A#", all in one read: the model frame
    // stops polling, the end frame on the empty table starts it again.
    void connectSequenceInOneRead()
    {
        Bench b;
        sim::Settings s;
        s.family = 3;
        b.feed(bytes(sim::encodeModel("05A1.2") + sim::encodeSettings(s) + sim::encodeEnd()));
        QCOMPARE(b.core.Caption, QStringLiteral("TQ805 BenchLog(05A1.2)"));
        QCOMPARE(b.core.MSFlexGrid1->TextMatrix(0, 3), QStringLiteral("COND"));
        QVERIFY(b.core.m.PollingOn);
        QVERIFY(b.core.Timer2.isActive());
        QCOMPARE(b.core.m.GridRow, 1);
    }
};

QTEST_GUILESS_MAIN(RoundTrip)
#include "tst_roundtrip.moc"
