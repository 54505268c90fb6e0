// The simulator's frame encoders and request splitter: frames worked out by
// hand (the decoder suites read the same ones), and what the decoders cannot
// see: fields the program ignores, out-of-range values, the conductivity
// decade and the request parser.
#include "SimFrames.h"
#include "SimRequests.h"
#include "support/DataTable.h"
#include "support/OwnHome.h"

// Rows name the fields they set; every other field keeps its default.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

QString q(const std::string &s)
{
    return QString::fromStdString(s);
}

} // namespace

class TestSimEncode : public QObject
{
    Q_OBJECT
public:
    static void initMain() { useOwnHome(); }

private slots:
    void frames_data()
    {
        columns<QString, QString>("frame", "expected");
        // Each row starts from the defaults and sets what it names; its
        // reading or record is dated day 0 of month 0 unless it says otherwise.
        QTest::newRow("fields too wide are cut, not spilled")
            << q(sim::encodeLive({.decimals = 2, .month = 12 + 16, .day = 31, .hour = 23 + 32, .minute = 59 + 64,
                                  .second = 59, .value = 7000, .manualTemp = true, .tempTenths = -500}))
            << "<D1B3BFDFB1B580800>";
        QTest::newRow("record mol/L 1.23E-4")
            << q(sim::encodeStored({.mode = 6, .month = 0, .day = 0, .value = 123, .exponent = 4}))
            << "<S60000000107B02EE>";
        QTest::newRow("record 7.000 ppb: quotient 3 above 7FFF")
            << q(sim::encodeStored({.mode = 8, .decimals = 3, .month = 0, .day = 0, .value = 7000, .unitCode = 3}))
            << "<S8C000000908802EE>";
        QTest::newRow("pH, two CH buffers, timer 1:30")
            << q(sim::encodeSettings({.timerSeconds = 90, .ph = {.calBuffers = 16 | 2, .offsetHundredthsMv = -100}}))
            << "<Q005A840090000000FF9C03E8>";
        QTest::newRow("pH, two user buffers in fields 7 and 8, spare bits")
            << q(sim::encodeSettings({.ph = {.bufferSet = 4, .spareBits = 0x3FF, .calBuffers = 2,
                                             .userBuffersThousandths = {4200, 7000}}}))
            << "<Q000093FF10000000000003E810681B58>";
        QTest::newRow("ISE sodium, unused field 4")
            << q(sim::encodeSettings({.family = 2, .celsius = false,
                                      .ise = {.cal1Hundredths = 100, .cal2Hundredths = 500, .field4 = 7,
                                              .offsetTenths = -50, .slopeTenths = 985}}))
            << "<Q4000086401F40007FFCE03D9000000000000>";
        QTest::newRow("ISE user ion, molar mass and spare bits in field 9")
            << q(sim::encodeSettings({.family = 2, .ise = {.ion = 10, .cal1Hundredths = 200, .cal2Hundredths = -200,
                                                           .field9High = 1, .molarMass = 123}}))
            << "<Q4000D0C8FF380000000003E800000000107B>";
        QTest::newRow("COND, USA set, spare bits of field 4")
            << q(sim::encodeSettings({.family = 3, .celsius = false,
                                      .cond = {.standardSet = 2, .calStandard = 2, .field4High = 7}}))
            << "<Q600028FA08C8E3E8>";
        QTest::newRow("DO, longest timer, spare bits")
            << q(sim::encodeSettings({.family = 4, .timerSeconds = 8191, .oxygen = {.spareThousandths = 0xFFF}}))
            << "<Q9FFFAFFF>";
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
};

QTEST_GUILESS_MAIN(TestSimEncode)
#include "tst_simencode.moc"
