// The simulator's frame encoders and request splitter: frames worked out by
// hand (the decoder suites read the same ones), and what the decoders cannot
// see: fields the program ignores, out-of-range values, the conductivity
// decade and the request parser; and a round trip of live readings through
// the program.
#include "SimFrames.h"
#include "SimRequests.h"
#include "support/DataTable.h"
#include "support/FakeMeter.h"

#include <QRandomGenerator>

namespace {

QString q(const std::string &s)
{
    return QString::fromStdString(s);
}

} // namespace

class TestSimEncode : public QObject
{
    Q_OBJECT

private slots:
    void frames_data()
    {
        columns<QString, QString>("frame", "expected");
        // Each row starts from the defaults (a reading on day 0 of month 0) and
        // changes what its lambda sets.
        auto live = [](const char *name, void (*set)(sim::LiveReading &), const char *frame) {
            sim::LiveReading r;
            r.month = r.day = 0;
            set(r);
            QTest::newRow(name) << q(sim::encodeLive(r)) << frame;
        };
        auto settings = [](const char *name, void (*set)(sim::Settings &), const char *frame) {
            sim::Settings s;
            set(s);
            QTest::newRow(name) << q(sim::encodeSettings(s)) << frame;
        };
        auto stored = [](const char *name, void (*set)(sim::StoredRecord &), const char *frame) {
            sim::StoredRecord r;
            r.month = r.day = 0;
            set(r);
            QTest::newRow(name) << q(sim::encodeStored(r)) << frame;
        };
        using L = sim::LiveReading &;
        using R = sim::StoredRecord &;
        using S = sim::Settings &;

        live("fields too wide are cut, not spilled", [](L r) {
            r.decimals = 2; r.month = 12 + 16; r.day = 31; r.hour = 23 + 32; r.minute = 59 + 64; r.second = 59;
            r.value = 7000; r.manualTemp = true; r.tempTenths = -500;
        }, "<D1B3BFDFB1B580800>");

        stored("record mol/L 1.23E-4", [](R r) { r.mode = 6; r.exponent = 4; r.value = 123; }, "<S60000000107B02EE>");
        stored("record 7.000 ppb: quotient 3 above 7FFF",
               [](R r) { r.mode = 8; r.decimals = 3; r.unitCode = 3; r.value = 7000; }, "<S8C000000908802EE>");

        settings("pH, two CH buffers, timer 1:30",
                 [](S s) { s.timerSeconds = 90; s.ph.calBuffers = 16 | 2; s.ph.offsetHundredthsMv = -100; },
                 "<Q005A840090000000FF9C03E8>");
        settings("pH, two user buffers in fields 7 and 8, spare bits", [](S s) {
            s.ph.bufferSet = 4; s.ph.spareBits = 0x3FF; s.ph.calBuffers = 2; s.ph.userBuffersThousandths = {4200, 7000};
        }, "<Q000093FF10000000000003E810681B58>");
        settings("ISE sodium, unused field 4", [](S s) {
            s.family = 2; s.celsius = false; s.ise.cal1Hundredths = 100; s.ise.cal2Hundredths = 500; s.ise.field4 = 7;
            s.ise.offsetTenths = -50; s.ise.slopeTenths = 985;
        }, "<Q4000086401F40007FFCE03D9000000000000>");
        settings("ISE user ion, molar mass and spare bits in field 9", [](S s) {
            s.family = 2; s.ise.ion = 10; s.ise.cal1Hundredths = 200; s.ise.cal2Hundredths = -200;
            s.ise.field9High = 1; s.ise.molarMass = 123;
        }, "<Q4000D0C8FF380000000003E800000000107B>");
        settings("COND, USA set, spare bits of field 4", [](S s) {
            s.family = 3; s.celsius = false; s.cond.standardSet = 2; s.cond.calStandard = 2; s.cond.field4High = 7;
        }, "<Q600028FA08C8E3E8>");
        settings("DO, longest timer, spare bits",
                 [](S s) { s.family = 4; s.timerSeconds = 8191; s.oxygen.spareThousandths = 0xFFF; }, "<Q9FFFAFFF>");
    }
    void frames()
    {
        QFETCH(QString, frame);
        QTEST(frame, "expected");
    }

    void conductivityDecade()
    {
        // Decade code r and field f for f x 10^(r - 10) uS/cm, at most four digits
        // as the meter's 20/200/2000... ranges; a negative reading is sent as 0.
        for (const auto &[microSiemens, range, raw] :
             {std::tuple{5.0, 8, 500}, {20.0, 9, 200}, {1999.4, 10, 1999}, {12880.0, 11, 1288}, {150000.0, 12, 1500},
              {200000.0, 13, 200}, {-3.0, 8, 0}}) {
            const sim::CondField f = sim::conductivityField(microSiemens);
            QVERIFY2(f.rangeCode == range && f.raw == raw,
                     qPrintable(QStringLiteral("%1 uS/cm gave %2, %3").arg(microSiemens).arg(f.rangeCode).arg(f.raw)));
        }
    }

    void splitRequests_data()
    {
        columns<QStringList, QStringList, QString>("reads", "commands", "tail");
        QTest::newRow("identify and reading in one read") << QStringList{"@A#@#"} << QStringList{"A", ""} << "";
        QTest::newRow("unfinished request kept") << QStringList{"@A#@"} << QStringList{"A"} << "@";
        QTest::newRow("noise around requests") << QStringList{"xy#@B#zz@#q"} << QStringList{"B", ""} << "";
        QTest::newRow("a new @ restarts a broken request") << QStringList{"@A", "@#"} << QStringList{""} << "";
        QTest::newRow("16 characters are a command, 17 are noise")
            << QStringList{"@" + QString(16, 'a') + "#@" + QString(17, 'b') + "#@A#"}
            << QStringList{QString(16, 'a'), "A"} << "";
    }
    void splitRequests()
    {
        QFETCH(QStringList, reads);
        std::string pending;
        QStringList got;
        for (const QString &read : reads) {
            const sim::RequestSplit split = sim::splitRequests(pending + read.toStdString());
            for (const std::string &c : split.commands)
                got << q(c);
            pending = split.tail;
        }
        QTEST(got, "commands");
        QTEST(q(pending), "tail");
    }

    void classifyRequest()
    {
        QCOMPARE(sim::classifyRequest("A"), sim::Request::Identify);
        QCOMPARE(sim::classifyRequest(""), sim::Request::Reading);
        QCOMPARE(sim::classifyRequest("B"), sim::Request::Stop);
        for (const char *other : {"a", "AB", "Z9"})
            QCOMPARE(sim::classifyRequest(other), sim::Request::Ignored);
    }

    // Live readings written by the encoder, which shares no code with the
    // decoder, read back through the program: a fault on either side of the
    // layout shows up here, for every mode and any field value.
    void roundTrip_data()
    {
        columns<int>("mode");
        for (int mode = 0; mode < 16; ++mode)
            QTest::addRow("mode %d", mode) << mode;
    }
    void roundTrip()
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
            b.feed(QByteArray::fromStdString(sim::encodeLive(r)));

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
};

QTEST_GUILESS_MAIN(TestSimEncode)
#include "tst_simencode.moc"
