// The simulator's frame encoders and request splitter.
//
// The encoders are the reference the decoders get checked against, so they
// are pinned here to frames worked out by hand from the field layouts, and
// cross-checked with a field reader that uses division and remainder rather
// than the encoders' shifts and masks.

#include "SimFrames.h"
#include "SimRequests.h"

#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(sim::LiveReading)
Q_DECLARE_METATYPE(sim::Settings)

namespace {

QString q(const std::string &s)
{
    return QString::fromStdString(s);
}

// Field starting at 1-based content position `pos`, as a 0..65535 word.
int word(const QString &frame, int pos)
{
    bool ok = false;
    const int v = frame.mid(pos, 4).toInt(&ok, 16);  // frame includes "<", so no -1
    return ok ? v : -1;
}

int signedWord(const QString &frame, int pos)
{
    const int w = word(frame, pos);
    return w >= 32768 ? w - 65536 : w;
}

// Bits n..m of a word, by division and remainder.
int bits(int w, int n, int m)
{
    return (w % (1 << (n + 1))) / (1 << m);
}

sim::LiveReading reading(int mode, int decimals, int month, int day, int hour, int minute,
                         int second, int value, int range, bool mtc, int temp)
{
    sim::LiveReading r;
    r.mode = mode;
    r.decimals = decimals;
    r.month = month;
    r.day = day;
    r.hour = hour;
    r.minute = minute;
    r.second = second;
    r.value = value;
    r.rangeCode = range;
    r.manualTemp = mtc;
    r.tempTenths = temp;
    return r;
}

sim::LiveReading oxygen(sim::LiveReading r, int saturation, int pressure, int salinity)
{
    r.saturationTenths = saturation;
    r.pressureTenths = pressure;
    r.salinity = salinity;
    return r;
}

} // namespace

class TestSimEncode : public QObject {
    Q_OBJECT

private slots:
    void hex4_data();
    void hex4();
    void liveFrame_data();
    void liveFrame();
    void liveFieldsReadBack_data();
    void liveFieldsReadBack();
    void conductivityDecade_data();
    void conductivityDecade();
    void settingsFrame_data();
    void settingsFrame();
    void modelAndEnd();
    void splitRequests_data();
    void splitRequests();
    void classifyRequest_data();
    void classifyRequest();
};

void TestSimEncode::hex4_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("hex");
    QTest::newRow("zero") << 0 << "0000";
    QTest::newRow("upper-case digits") << 0x8ca << "08CA";
    QTest::newRow("minus one") << -1 << "FFFF";
    QTest::newRow("minus 200") << -200 << "FF38";
    QTest::newRow("minus 2000") << -2000 << "F830";
    QTest::newRow("largest positive") << 32767 << "7FFF";
    QTest::newRow("most negative") << -32768 << "8000";
    QTest::newRow("packed word above 7FFF") << 0xD0ED << "D0ED";
}

void TestSimEncode::hex4()
{
    QFETCH(int, value);
    QFETCH(QString, hex);
    QCOMPARE(q(sim::hex4(value)), hex);
}

void TestSimEncode::liveFrame_data()
{
    QTest::addColumn<sim::LiveReading>("reading");
    QTest::addColumn<QString>("frame");

    QTest::newRow("negative pH, three decimals, MTC below zero")
        << reading(1, 3, 0, 0, 0, 0, 0, -200, 0, true, -298) << "<D1C000000FF3808CA>";
    QTest::newRow("dissolved oxygen with its three extra fields")
        << oxygen(reading(13, 0, 3, 7, 9, 5, 45, 825, 0, false, 250), 953, 1013, 0)
        << "<DD0ED3A45033903B903F5000002EE>";
    QTest::newRow("conductivity decade in the temperature word")
        << reading(9, 0, 0, 0, 0, 0, 0, 1413, 11, false, 250) << "<D900000000585B2EE>";
    QTest::newRow("ion number in the temperature word")
        << reading(5, 0, 0, 0, 0, 0, 0, 3000, 1, false, 250) << "<D500000000BB812EE>";
    QTest::newRow("every clock field at its maximum, coldest temperature")
        << reading(1, 2, 12, 31, 23, 59, 59, 7000, 0, true, -500) << "<D1B3BFDFB1B580800>";
    QTest::newRow("percent saturation mode, hottest temperature")
        << oxygen(reading(15, 0, 1, 1, 0, 0, 0, 700, 0, false, 1547), 850, 998, 35)
        << "<DF040080002BC035203E6002307FF>";
    QTest::newRow("last short mode")
        << reading(12, 0, 0, 0, 0, 0, 0, 0, 10, false, 0) << "<DC00000000000A1F4>";
    QTest::newRow("mode 0 is a short frame too")
        << reading(0, 0, 0, 0, 0, 0, 0, 0, 0, false, 0) << "<D00000000000001F4>";
}

void TestSimEncode::liveFrame()
{
    QFETCH(sim::LiveReading, reading);
    QFETCH(QString, frame);
    QCOMPARE(q(sim::encodeLive(reading)), frame);
}

void TestSimEncode::liveFieldsReadBack_data()
{
    QTest::addColumn<sim::LiveReading>("reading");

    // Each row drives different fields to the edges of their width, so a
    // field put one bit off or overlapping its neighbour shows up.
    QTest::newRow("pH, mid values") << reading(1, 1, 6, 15, 12, 30, 30, 7012, 0, false, 253);
    QTest::newRow("high fields all ones") << reading(15, 3, 15, 31, 31, 63, 63, -1, 15, true, 1547);
    QTest::newRow("high fields zero, low fields ones") << reading(0, 0, 1, 1, 0, 63, 63, 32767, 0, false, -500);
    QTest::newRow("salinity and pressure kept apart")
        << oxygen(reading(14, 0, 11, 28, 17, 42, 8, 1234, 0, true, 0), -5, 32767, 40);
}

void TestSimEncode::liveFieldsReadBack()
{
    QFETCH(sim::LiveReading, reading);
    const QString f = q(sim::encodeLive(reading));
    const bool oxy = reading.mode >= 13;
    QCOMPARE(f.size(), oxy ? 31 : 19);
    QVERIFY(f.startsWith("<D") && f.endsWith('>'));

    const int w1 = word(f, 2);
    QCOMPARE(bits(w1, 15, 12), reading.mode);
    QCOMPARE(bits(w1, 11, 10), reading.decimals);
    QCOMPARE(bits(w1, 9, 6), reading.month);
    QCOMPARE(bits(w1, 5, 0), reading.second);
    const int w2 = word(f, 6);
    QCOMPARE(bits(w2, 15, 11), reading.day);
    QCOMPARE(bits(w2, 10, 6), reading.hour);
    QCOMPARE(bits(w2, 5, 0), reading.minute);
    QCOMPARE(signedWord(f, 10), reading.value);
    if (oxy) {
        QCOMPARE(signedWord(f, 14), reading.saturationTenths);
        QCOMPARE(signedWord(f, 18), reading.pressureTenths);
        QCOMPARE(signedWord(f, 22), reading.salinity);
    }
    const int t = word(f, oxy ? 26 : 14);
    QCOMPARE(bits(t, 15, 12), reading.rangeCode);
    QCOMPARE(bits(t, 11, 11), reading.manualTemp ? 1 : 0);
    QCOMPARE(bits(t, 10, 0) - 500, reading.tempTenths);
}

void TestSimEncode::conductivityDecade_data()
{
    QTest::addColumn<double>("microSiemens");
    QTest::addColumn<int>("range");
    QTest::addColumn<int>("raw");
    QTest::newRow("standard 1413 uS/cm") << 1413.0 << 10 << 1413;
    QTest::newRow("below 20 uS/cm in hundredths") << 5.0 << 8 << 500;
    QTest::newRow("20 uS/cm starts the tenths range") << 20.0 << 9 << 200;
    QTest::newRow("just under 2000 uS/cm") << 1999.4 << 10 << 1999;
    QTest::newRow("12.88 mS/cm in tens") << 12880.0 << 11 << 1288;
    QTest::newRow("150 mS/cm in hundreds") << 150000.0 << 12 << 1500;
    QTest::newRow("200 mS/cm in thousands") << 200000.0 << 13 << 200;
    QTest::newRow("negative reads as nothing") << -3.0 << 8 << 0;
}

void TestSimEncode::conductivityDecade()
{
    QFETCH(double, microSiemens);
    QFETCH(int, range);
    QFETCH(int, raw);
    const sim::CondField f = sim::conductivityField(microSiemens);
    QCOMPARE(f.rangeCode, range);
    QCOMPARE(f.raw, raw);
    // What the receiver makes of it: the field times 10^(r - 10).
    if (microSiemens > 0)
        QVERIFY(std::abs(f.raw * std::pow(10.0, f.rangeCode - 10) - microSiemens)
                <= 0.5 * std::pow(10.0, f.rangeCode - 10) + 1e-9);
}

void TestSimEncode::settingsFrame_data()
{
    QTest::addColumn<sim::Settings>("settings");
    QTest::addColumn<QString>("frame");

    sim::Settings ph;
    ph.family = 0;
    ph.timerSeconds = 90;
    ph.celsius = true;
    ph.ph.bufferSet = 1;
    ph.ph.calBuffers = 16 | 2;
    ph.ph.offsetHundredthsMv = -100;
    ph.ph.slopeTenthsPercent = 1000;
    QTest::newRow("pH, two CH buffers, timer 1:30") << ph << "<Q005A840090000000FF9C03E8>";

    sim::Settings rec = ph;
    rec.letter = 'P';
    QTest::newRow("same settings starting a recording") << rec << "<P005A840090000000FF9C03E8>";

    sim::Settings full;
    full.family = 0;
    full.timerSeconds = 8191;
    full.ph.pu1 = full.ph.pu2 = true;
    full.ph.bufferSet = 3;
    full.ph.calBuffers = 31;
    full.ph.calMonth = 12;
    full.ph.calDay = 31;
    full.ph.calHour = 23;
    full.ph.calMinute = 59;
    full.ph.offsetHundredthsMv = 235;
    full.ph.slopeTenthsPercent = 987;
    QTest::newRow("pH, flags, five NIST buffers, date and time")
        << full << "<Q1FFFEC00FCCF093700EB03DB>";

    sim::Settings user;
    user.family = 0;
    user.ph.bufferSet = 4;
    user.ph.calBuffers = 2;
    user.ph.slopeTenthsPercent = 1000;
    user.ph.userBuffersThousandths = {4200, 7000};
    QTest::newRow("pH, two user buffers in fields 7 and 8")
        << user << "<Q0000900010000000000003E810681B58>";

    sim::Settings mv;
    mv.family = 1;
    mv.mv.urefTenthsMv = 2000;
    QTest::newRow("mV, reference 200.0 mV") << mv << "<Q200087D0>";

    sim::Settings na;
    na.family = 2;
    na.timerSeconds = 300;
    na.celsius = false;
    na.ise.ion = 1;
    na.ise.cal1Hundredths = 100;
    na.ise.cal2Hundredths = 500;
    na.ise.offsetTenths = -50;
    na.ise.slopeTenths = 985;
    QTest::newRow("ISE sodium, nine fields") << na << "<Q412C086401F40000FFCE03D9000000000000>";

    sim::Settings cus;
    cus.family = 2;
    cus.ise.ion = 10;
    cus.ise.cal1Hundredths = 200;
    cus.ise.cal2Hundredths = -200;
    cus.ise.slopeTenths = 1000;
    cus.ise.field9High = 1;
    cus.ise.molarMass = 123;
    QTest::newRow("ISE user ion, molar mass in field 9")
        << cus << "<Q4000D0C8FF380000000003E800000000107B>";

    sim::Settings cond;
    cond.family = 3;
    cond.celsius = false;
    cond.cond.standardSet = 2;
    cond.cond.cellDecimals = 4;
    cond.cond.trefTenths = 250;
    cond.cond.calStandard = 2;
    cond.cond.coefHundredths = 200;
    cond.cond.cellConstant = 1000;
    QTest::newRow("COND, USA set, cell constant 1.000") << cond << "<Q600028FA08C803E8>";

    sim::Settings oxy;
    oxy.family = 4;
    oxy.timerSeconds = 60;
    oxy.celsius = false;
    oxy.oxygen.resolution = 2;
    QTest::newRow("DO, fine resolution") << oxy << "<Q803C2000>";
}

void TestSimEncode::settingsFrame()
{
    QFETCH(sim::Settings, settings);
    QFETCH(QString, frame);
    QCOMPARE(q(sim::encodeSettings(settings)), frame);
}

void TestSimEncode::modelAndEnd()
{
    QCOMPARE(q(sim::encodeModel("05A1.2")), QString("<M05A1.2>"));
    QCOMPARE(q(sim::encodeModel("")), QString("<M>"));
    QCOMPARE(q(sim::encodeEnd()), QString("<E>"));
}

void TestSimEncode::splitRequests_data()
{
    QTest::addColumn<QStringList>("reads");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("tail");

    QTest::newRow("identify") << QStringList{"@A#"} << QStringList{"A"} << "";
    QTest::newRow("identify and reading in one read") << QStringList{"@A#@#"} << QStringList{"A", ""} << "";
    QTest::newRow("one request over three reads") << QStringList{"@", "A", "#"} << QStringList{"A"} << "";
    QTest::newRow("unfinished request kept")
        << QStringList{"@A#@"} << QStringList{"A"} << "@";
    QTest::newRow("unfinished command kept") << QStringList{"@", "B"} << QStringList{} << "@B";
    QTest::newRow("noise around requests")
        << QStringList{"xy#@B#zz@#q"} << QStringList{"B", ""} << "";
    QTest::newRow("noise and splits together")
        << QStringList{"junk@", "B", "#@A", "#", "##"} << QStringList{"B", "A"} << "";
    QTest::newRow("unknown command passed on") << QStringList{"@Z9#"} << QStringList{"Z9"} << "";
    QTest::newRow("a new @ restarts a broken request")
        << QStringList{"@A", "@#"} << QStringList{""} << "";
    QTest::newRow("overlong noise after @ dropped")
        << QStringList{"@" + QString(40, 'x'), "#@A#"} << QStringList{"A"} << "";
    QTest::newRow("nothing read") << QStringList{"", ""} << QStringList{} << "";
}

void TestSimEncode::splitRequests()
{
    QFETCH(QStringList, reads);
    QFETCH(QStringList, commands);
    QFETCH(QString, tail);

    std::string pending;
    QStringList got;
    for (const QString &read : reads) {
        pending += read.toStdString();
        sim::RequestSplit split = sim::splitRequests(pending);
        for (const std::string &c : split.commands)
            got << q(c);
        pending = split.tail;
    }
    QCOMPARE(got, commands);
    QCOMPARE(q(pending), tail);
}

void TestSimEncode::classifyRequest_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("kind");
    QTest::newRow("A identifies") << "A" << int(sim::Request::Identify);
    QTest::newRow("empty asks for a reading") << "" << int(sim::Request::Reading);
    QTest::newRow("B stops") << "B" << int(sim::Request::Stop);
    QTest::newRow("lower case is not A") << "a" << int(sim::Request::Ignored);
    QTest::newRow("longer command") << "AB" << int(sim::Request::Ignored);
}

void TestSimEncode::classifyRequest()
{
    QFETCH(QString, command);
    QFETCH(int, kind);
    QCOMPARE(int(sim::classifyRequest(command.toStdString())), kind);
}

QTEST_GUILESS_MAIN(TestSimEncode)
#include "tst_simencode.moc"
