// The trend chart: time texts, the frame, the live trace with its rescale,
// the range redraw, and the compact picture that must draw what every
// segment would.
#include "chart/ChartLayout.h"
#include "chart/ChartPicture.h"
#include "chart/ChartScene.h"
#include "chart/ChartTrace.h"
#include "chart/TimeText.h"
#include "chart/TraceDecimator.h"
#include "support/DataTable.h"
#include "support/FakeMeter.h"
#include "support/OwnHome.h"

#include <QRandomGenerator>

#include <cmath>
#include <QXmlStreamReader>

namespace {

// A recording of one family, started as Clear starts it; rows are logged as
// the live decoder logs them (cells, then the chart step, then the advance).
struct ChartBench : Bench
{
    explicit ChartBench(int family, int tempUnit = 1)
    {
        core.m.MeterFamily = family;
        core.m.TempUnit = tempUnit;
        core.cmdClear_Click();
    }
    void log(const QString &time, const QString &value = QStringLiteral("0"),
             const QString &temp = QStringLiteral("25.0°C(ATC)"))
    {
        core.beginGridRow();
        const int r = core.m.GridRow;
        FlexGrid &g = *core.MSFlexGrid1;
        g.setTextMatrix(r, 0, QString::number(r));
        g.setTextMatrix(r, 2, time);
        g.setTextMatrix(r, 3, value);
        g.setTextMatrix(r, chartmap::chartTempColumn(core.m.MeterFamily.toDouble()), temp);
        if (r == 1 && core.m.PollingOn)
            core.Draw_Scale();
        else
            core.Draw_Line();
        core.endGridRow();
    }
    QList<SegmentPair> drawn() const
    {
        QList<SegmentPair> all;
        core.Picture4.forEachSegment(0, [&](const SegmentPair &p) { all << p; });
        return all;
    }
};

template <std::size_t N>
QString captions(const std::array<Label, N> &labels)
{
    QStringList s;
    for (const Label &l : labels)
        s << l.Caption;
    return s.join(QLatin1Char(','));
}

QString clock(int seconds)
{
    seconds %= 86400;
    return QStringLiteral("%1:%2:%3").arg(seconds / 3600).arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// A log of `rows` readings up to `every` seconds apart, with what a long
// recording meets now and then (each about once in `oddEvery` rows; 0:
// never): a rejected time, a time back near the start, a change of unit on
// either trace, a number too large to be finite.
void randomLog(ChartBench &b, quint32 seed, int rows, int every, int oddEvery, bool timelessFirst)
{
    QRandomGenerator rng(seed);
    const bool cond = b.core.m.MeterFamily.toDouble() == 3;
    int t = 36000 + int(rng.bounded(40000));
    double v = cond ? 1413 : 7;
    bool milli = false, fahrenheit = false;
    for (int i = 0; i < rows; ++i) {
        t += int(rng.bounded(every + 1));
        v += (int(rng.bounded(21)) - 10) / 100.0;
        QString time = i == 0 && timelessFirst ? QStringLiteral("Time") : clock(t);
        QString value = QString::number(v, 'f', 2);
        switch (oddEvery && i > 0 ? int(rng.bounded(oddEvery)) : -1) {
        case 0: time = QStringLiteral("Time"); break;
        case 1: time = clock(36000 + int(rng.bounded(60))); break;
        case 2: milli = !milli; break;
        case 3: fahrenheit = !fahrenheit; break;
        case 4: value = QStringLiteral("1E999"); break;
        }
        if (cond)
            value += milli ? QStringLiteral("mS/cm") : QStringLiteral("uS/cm");
        const QString temp = fahrenheit ? QStringLiteral("77.0°F(ATC)")
                                        : QStringLiteral("%1°C(ATC)").arg(20 + rng.bounded(100) / 10.0, 0, 'f', 1);
        b.log(time, value, temp);
    }
}

// The polylines the traces are drawn with at `pixels` across, colour first.
QList<QList<double>> traceLines(const ChartPicture &picture, double pixels, TraceRead read)
{
    QList<QList<double>> lines;
    ChartScene scene;
    scene.polyline = [&](const double *xy, std::size_t n, unsigned rgb) {
        QList<double> line{double(rgb)};
        for (std::size_t i = 0; i < 2 * n; ++i)
            line << xy[i];
        lines << line;
    };
    walkTraces(picture, pixels / chartlayout::kWidth, scene, read);
    return lines;
}

} // namespace

class TestChart : public QObject
{
    Q_OBJECT
public:
    static void initMain() { useOwnHome(); }

private slots:
    void timeText_data()
    {
        // seconds -1: rejected
        columns<QString, int>("text", "seconds");
        QTest::newRow("9:05:07") << "9:05:07" << 32707;
        QTest::newRow("header Time") << "Time" << -1;
        QTest::newRow("7 characters, one colon") << "1234:56" << -1;
        QTest::newRow("half a second rounds to even") << "0:0:2.5" << 2;
        QTest::newRow("and up to even") << "0:0:3.5" << 4;
        QTest::newRow("a piece without a number is 0") << "x:05:07" << 307;
        QTest::newRow("beyond 32 bits") << "9E99:0:" << -1;
    }
    void timeText()
    {
        auto [text, seconds] = fetch<QString, int>("text", "seconds");
        QCOMPARE(parseTimeText(text).value_or(-1), seconds);
        // The procedure keeps its previous result for a rejected text.
        Bench b;
        b.core.m.TimeSeconds = 777;
        b.core.m.TimeText = text;
        b.core.HhMmSs_Ss();
        QCOMPARE(b.core.m.TimeSeconds, seconds < 0 ? 777 : seconds);
    }

    // Row 1 at the first time, then a row every `every` seconds; the rows
    // listed in `garbled` read 0:00:30 instead, as a frame whose time fields
    // read 0 does.
    void timeAxis_data()
    {
        columns<int, int, int, QList<int>, qint64, double, int>("first", "every", "rows", "garbled", "timeBase",
                                                                "newestX", "segments");
        QTest::newRow("exactly 30 steps stays") << 36000 << 1 << 31 << QList<int>{} << qint64(1) << 9500.0 << 30;
        QTest::newRow("31 steps doubles, redraws all: x 5150")
            << 36000 << 1 << 32 << QList<int>{} << qint64(2) << 5150.0 << 31;
        QTest::newRow("midnight: 23:59:50 to 0:00:10 at x 6500")
            << 86390 << 20 << 2 << QList<int>{} << qint64(1) << 6500.0 << 1;
        // Eight days, every half hour: the time base passes 16384 s a step
        // and every day lands after the one before.
        QTest::newRow("a week and more stays on the chart") << 36000 << 1800 << 8 * 48 + 1 << QList<int>{}
                                                            << qint64(32768) << 500 + 8 * 86400 * 300.0 / 32768
                                                            << 8 * 48;
        // Within the first day: the garbled time is a day on, past the axis
        // (one doubling each), and the rows after it are back near row 1.
        QTest::newRow("a zeroed time in the first hour starts no day")
            << 1494 << 1 << 20 << QList<int>{10} << qint64(2) << 500 + 19 * 150.0 << 19;
    }
    void timeAxis()
    {
        auto [first, every, rows, garbled] = fetch<int, int, int, QList<int>>("first", "every", "rows", "garbled");
        ChartBench b(0);
        for (int i = 0; i < rows; ++i)
            b.log(garbled.contains(i) ? QStringLiteral("0:00:30") : clock(first + i * every));
        QTEST(b.core.m.TimeBase, "timeBase");
        const QList<SegmentPair> d = b.drawn();
        QTEST(int(d.size()), "segments");
        QTEST(d.last().x2, "newestX");
        QCOMPARE(b.core.m.StartSeconds.toDouble(), double(first));
        // The time axis runs forward all the way, the garbled rows aside.
        double x = 0;
        for (qsizetype i = 0; i < d.size(); ++i) {
            if (garbled.contains(int(i) + 1))
                continue;
            QVERIFY2(d[i].x2 > x, qPrintable(QString::number(i)));
            x = d[i].x2;
        }
    }

    // Where one reading lands: the second of two equal rows.
    void heights_data()
    {
        // valueScale 0: the table's own
        columns<int, double, QString, QString, double, double>(
            "family", "valueScale", "value", "temp", "valueY", "tempY");
        QTest::newRow("mV 0 in the middle") << 1 << 0.0 << "0.0" << "25.0°C(ATC)" << 3500.0 << 5000.0;
        QTest::newRow("2000 mV at the top") << 1 << 1.5 << "2000.0" << "25.0°C(ATC)" << 500.0 << 5000.0;
        QTest::newRow("pX 8 at the bottom") << 2 << 750.0 << "8.000" << "25.0°C(ATC)" << 6500.0 << 5000.0;
        QTest::newRow("77 F as high as 25 C") << 0 << 0.0 << "7.00" << "77.0°F(ATC)" << 3500.0 << 5000.0;
        QTest::newRow("1.234 mS") << 3 << 3.0 << "1.234mS/cm" << "25.0°C(ATC)" << 2798.0 << 3500.0;
    }
    void heights()
    {
        auto [family, valueScale, value, temp] = fetch<int, double, QString, QString>(
            "family", "valueScale", "value", "temp");
        ChartBench b(family);
        if (valueScale)
            b.core.m.ValueScale = valueScale;
        b.log(QStringLiteral("10:00:00"), value, temp);
        b.log(QStringLiteral("10:00:01"), value, temp);
        QTEST(b.drawn().last().valueY2, "valueY");
        QTEST(b.drawn().last().tempY2, "tempY");
    }

    void frame_data()
    {
        // valueScale invalid: the table's own
        columns<int, int, QVariant, QString, QString>("family", "tempUnit", "valueScale", "valueLabels", "tempLabels");
        QTest::newRow("cond 20uS") << 3 << 1 << QVariant(300.0) << "0,5,10,15,20,COND(uS)" << "0,,25,,50,°C";
        QTest::newRow("cond 2000mS") << 3 << 1 << QVariant(0.003) << "0,500,1000,1500,2000,COND(mS)"
                                     << "0,,25,,50,°C";
        QTest::newRow("cond, no range: labels stay") << 3 << 1 << QVariant(0.0) << "old,,,,," << "0,,25,,50,°C";
        QTest::newRow("pH Celsius") << 0 << 1 << QVariant() << "0,,7,,14,pH" << "0,25,50,75,100,°C";
        QTest::newRow("unknown family: labels stay") << 6 << 1 << QVariant() << "old,,,,," << "old,,,,,";
    }
    void frame()
    {
        auto [family, tempUnit, valueScale] = fetch<int, int, QVariant>("family", "tempUnit", "valueScale");
        ChartBench b(family, tempUnit);
        b.core.chart.clear();
        b.core.chart.lblY[0].Caption = b.core.chart.LblN[0].Caption = QStringLiteral("old");
        if (valueScale.isValid())
            b.core.m.ValueScale = valueScale.toDouble();
        b.core.Draw_Scale();
        b.core.Draw_Scale();   // twice is once
        QTEST(captions(b.core.chart.lblY), "valueLabels");
        QTEST(captions(b.core.chart.LblN), "tempLabels");
        QVERIFY(b.core.chart.LineY[4] && b.core.chart.LineX[5] && b.core.chart.LineN[0]);
    }

    void timeLabels_data()
    {
        columns<QString, qint64, QString>("first", "timeBase", "labels");
        QTest::newRow("base 4") << "23:50:00" << qint64(4)
                                << "23:50:00,23:50:20,23:50:40,23:51:00,23:51:20,23:51:40,23:52:00,";
        QTest::newRow("base 64, past midnight") << "23:50:00" << qint64(64)
                                                << "23:50:00,23:55:20,0:00:40,0:06:00,0:11:20,0:16:40,0:22:00,";
    }
    void timeLabels()
    {
        QFETCH(QString, first);
        ChartBench b(0);
        b.log(first);
        QFETCH(qint64, timeBase);
        b.core.m.TimeBase = timeBase;
        b.core.Draw_Scale();
        QTEST(captions(b.core.chart.lblX), "labels");
    }

    void rangeChange_data()
    {
        // valueY: of the newest row; NaN: nothing drawn
        columns<int, bool, int, double>("button", "polling", "rows", "valueY");
        QTest::newRow("2000uS: 1413 uS at 2261") << 2 << true << 2 << 2261.0;
        QTest::newRow("20mS: 1413 uS at 6076.1") << 3 << true << 2 << 6076.1;
        QTest::newRow("20uS: far above the top") << 0 << true << 2 << 6500 - 1413 * 300.0;
        QTest::newRow("one row: cleared, relabelled, nothing drawn") << 3 << true << 1 << qQNaN();
        QTest::newRow("not polling: only the scale changes") << 3 << false << 2 << 2261.0;
    }
    void rangeChange()
    {
        auto [button, polling, rows] = fetch<int, bool, int>("button", "polling", "rows");
        ChartBench b(3);
        for (int i = 0; i < rows; ++i)
            b.log(clock(36000 + i), QStringLiteral("1413uS/cm"), QStringLiteral("77.0°F(ATC)"));
        b.core.m.PollingOn = polling;
        const quint64 clears = b.core.Picture4.clearCount();
        b.core.Option1_Click(button);
        QCOMPARE(b.core.Picture4.clearCount() != clears, polling);
        QCOMPARE(b.core.chart.lblY[5].Caption, polling && button >= 3 ? QStringLiteral("COND(mS)")
                                                                      : QStringLiteral("COND(uS)"));
        const QList<SegmentPair> d = b.drawn();
        QFETCH(double, valueY);
        if (qIsNaN(valueY)) {
            QVERIFY(d.isEmpty());
            return;
        }
        QCOMPARE(d.size(), qsizetype(1));
        QCOMPARE(d.last().valueY2, valueY);
        // The range's own temperature scale: 77 F at 6500 - 45 x 66.667.
        QCOMPARE(d.last().tempY2, polling ? 3499.985 : 3500.0);
    }

    // Decimated traces keep each column's lowest and highest point, with
    // well under half the points.
    void decimationKeepsTheShape()
    {
        using Extremes = QMap<int, QPair<double, double>>;
        auto note = [](Extremes &m, double x, double y) {
            const int col = int(std::floor(x * 0.1));
            const auto it = m.constFind(col);
            m[col] = it == m.cend() ? qMakePair(y, y) : qMakePair(qMin(it->first, y), qMax(it->second, y));
        };
        Extremes raw, kept;
        std::size_t points = 0;
        {
            TraceDecimator d(0.1, [&](const std::vector<TraceDecimator::Point> &pts) {
                for (const TraceDecimator::Point &p : pts)
                    note(kept, p.x, p.y);
                points += pts.size();
            });
            double x = 0, y = 0;
            for (int i = 0; i < 20000; ++i) {
                const double nx = x + QRandomGenerator::global()->bounded(3.0);
                const double ny = y + QRandomGenerator::global()->bounded(200.0) - 100;
                d.segment(x, y, nx, ny);
                note(raw, x, y);
                note(raw, nx, ny);
                x = nx;
                y = ny;
            }
        }
        QCOMPARE(kept, raw);
        QVERIFY(points < 20000 / 2);
    }

    // The traces read from the rows' summary are the very lines every
    // segment gives, on the screen, in a picture at twice the size, in an
    // SVG (a column per chart unit) and very narrow; and the parser's result
    // after a redraw is the one computing every segment gives.
    void summaryPaint_data()
    {
        // scale: the value scale the log is drawn with (NaN: the table's own)
        columns<int, double, quint32, int, int, int, bool, bool>("family", "scale", "seed", "rows", "every",
                                                                 "oddEvery", "timelessFirst", "rangeClick");
        QTest::newRow("pH, a reading a second") << 0 << qQNaN() << 1u << 20000 << 1 << 0 << false << false;
        QTest::newRow("pH, pauses, over two days") << 0 << qQNaN() << 2u << 20000 << 20 << 0 << false << false;
        QTest::newRow("pH upside down") << 0 << -300.0 << 7u << 5000 << 1 << 0 << false << false;
        QTest::newRow("mV from the middle") << 1 << qQNaN() << 8u << 5000 << 1 << 50 << false << false;
        QTest::newRow("pX downward from the top") << 2 << qQNaN() << 9u << 5000 << 2 << 50 << false << false;
        QTest::newRow("a flat line: scale 0") << 4 << 0.0 << 10u << 5000 << 1 << 0 << false << false;
        // Readings a hundredth apart land at one of a few heights.
        QTest::newRow("heights finer than a double holds") << 0 << 3e-13 << 11u << 20000 << 1 << 0 << false << false;
        QTest::newRow("conductivity, odd rows now and then")
            << 3 << qQNaN() << 3u << 20000 << 2 << 400 << false << false;
        QTest::newRow("conductivity, a range change") << 3 << qQNaN() << 4u << 20000 << 2 << 400 << false << true;
        QTest::newRow("odd rows often") << 3 << qQNaN() << 5u << 6000 << 3 << 15 << false << false;
        QTest::newRow("row 1 without a time: every segment") << 0 << qQNaN() << 6u << 3000 << 1 << 0 << true << false;
    }
    void summaryPaint()
    {
        auto [family, scale, seed, rows, every, oddEvery, timelessFirst, rangeClick] =
            fetch<int, double, quint32, int, int, int, bool, bool>("family", "scale", "seed", "rows", "every",
                                                                  "oddEvery", "timelessFirst", "rangeClick");
        ChartBench b(family);
        if (!qIsNaN(scale))
            b.core.m.ValueScale = scale;
        randomLog(b, seed, rows, every, oddEvery, timelessFirst);
        if (rangeClick) {
            b.core.m.PollingOn = true;
            b.core.Option1_Click(3);
            randomLog(b, seed + 100, 2000, every, oddEvery, false);
        }
        const TraceSummary &summary = b.core.chartRows().summary();
        for (double pixels : {673.0, 1346.0, 10095.0, 37.0}) {
            const quint64 reads = summary.reads();
            const auto lines = traceLines(b.core.Picture4, pixels, TraceRead::Summary);
            QCOMPARE(summary.reads() > reads, !timelessFirst);
            QCOMPARE(lines, traceLines(b.core.Picture4, pixels, TraceRead::EverySegment));
        }
        const ChartRowCache &cache = b.core.chartRows();
        TraceParams tp;
        tp.tempCol = chartmap::chartTempColumn(family);
        QRandomGenerator rng(seed);
        for (int i = 0; i < 200; ++i) {
            const int first = 2 + int(rng.bounded(cache.count() - 1));
            const int last = first - 1 + int(rng.bounded(cache.count() - first + 2));
            const qint32 start = int(rng.bounded(3)) == 0 ? cache.held(1).tod : qint32(rng.bounded(400000)) - 100000;
            const qint32 timeIn = qint32(rng.bounded(400000)) - 100000;
            QCOMPARE(redrawTimeOut(cache, tp, start, first, last, timeIn),
                     redrawSegments(cache, tp, start, first, last, timeIn, nullptr));
        }
    }

    // A hole in the log (the program not running) breaks both lines: no
    // segment joins the rows either side, whether the hole is marked before
    // the rows come or after they are drawn, inside a summary block or on
    // its edge, and the summary draws what every segment draws.
    void gapBreaksTheLines_data()
    {
        columns<QList<int>, bool>("gaps", "markedFirst");
        QTest::newRow("one hole mid-block, marked first") << QList<int>{2501} << true;
        QTest::newRow("one hole mid-block, marked after") << QList<int>{2501} << false;
        QTest::newRow("on a block's first row") << QList<int>{4097} << false;
        QTest::newRow("two holes, close together") << QList<int>{3000, 3010} << true;
        QTest::newRow("after the very first row") << QList<int>{2} << false;
    }
    void gapBreaksTheLines()
    {
        auto [gaps, markedFirst] = fetch<QList<int>, bool>("gaps", "markedFirst");
        ChartBench b(0);
        if (markedFirst)
            for (int g : gaps)
                b.core.markChartGap(g);
        int t = 36000;
        for (int r = 1; r <= 6000; ++r) {
            t += gaps.contains(r) ? 3600 : 1;
            b.log(clock(t), QString::number(7 + (r % 89) / 100.0, 'f', 2));
        }
        if (!markedFirst)
            for (int g : gaps)
                b.core.markChartGap(g);
        // The segments since the last doubling are rows 2, 3, ... in order.
        const QList<SegmentPair> segs = b.drawn();
        QCOMPARE(segs.size(), 5999);
        for (int g : gaps) {
            QVERIFY(std::isnan(segs[g - 2].x1));
            const double before = g > 2 ? segs[g - 3].x2 : chartmap::kOriginX;
            const double after = segs[g - 1].x1;
            QVERIFY(after > before);
            for (double pixels : {673.0, 10095.0}) {
                const auto lines = traceLines(b.core.Picture4, pixels, TraceRead::Summary);
                QCOMPARE(lines, traceLines(b.core.Picture4, pixels, TraceRead::EverySegment));
                for (const QList<double> &line : lines)
                    for (qsizetype i = 1; i + 3 < line.size(); i += 2)
                        QVERIFY2(!(line[i] <= before && line[i + 2] >= after),
                                 qPrintable(QStringLiteral("a line crosses the hole before row %1").arg(g)));
            }
        }
    }

    // Drawing the whole log reads about one summary node per pixel column
    // and level, not one per row.
    void summaryReads_data()
    {
        columns<int, int>("rows", "pixels");
        QTest::newRow("16384 rows, 100 pixels") << 16384 << 100;
        QTest::newRow("262144 rows, 100 pixels") << 262144 << 100;
        QTest::newRow("262144 rows, 673 pixels") << 262144 << 673;
    }
    void summaryReads()
    {
        auto [rows, pixels] = fetch<int, int>("rows", "pixels");
        ChartBench b(0);
        for (int i = 0; i < rows; ++i)
            b.log(clock(36000 + i), QString::number(7 + (i % 97) / 100.0, 'f', 2));
        const TraceSummary &summary = b.core.chartRows().summary();
        const quint64 reads = summary.reads();
        traceLines(b.core.Picture4, pixels, TraceRead::Summary);
        const quint64 read = summary.reads() - reads;
        QVERIFY2(read > 0 && read <= 2 * quint64(pixels) * quint64(summary.levels()),
                 qPrintable(QStringLiteral("%1 nodes read, %2 levels").arg(read).arg(summary.levels())));
    }

    // The SVG's strokes in its own units (15 a pixel), as wide as on the
    // screen: renderers that ignore non-scaling strokes must not draw
    // hairlines. Only the value and temperature axes are two pixels wide.
    void svgStrokes_data()
    {
        columns<QString, QString>("element", "width");
        QTest::newRow("time axis: one pixel") << "line 0,6500" << "15";
        QTest::newRow("a time tick") << "line 2000,6500" << "15";
        QTest::newRow("value axis: two pixels") << "line 500,0" << "30";
        QTest::newRow("a value tick") << "line 600,5000" << "15";
        QTest::newRow("temperature axis: two pixels") << "line 9500,0" << "30";
        QTest::newRow("value trace") << "polyline #ff0000" << "15";
        QTest::newRow("temperature trace") << "polyline #0000ff" << "15";
    }
    void svgStrokes()
    {
        ChartBench b(0);
        for (int i = 0; i < 3; ++i)
            b.log(clock(36000 + i), QStringLiteral("7.00"));
        QMap<QString, QString> widths;
        QXmlStreamReader svg(chartSvg(b.core.chart, b.core.Picture4));
        while (!svg.atEnd()) {
            if (svg.readNext() != QXmlStreamReader::StartElement)
                continue;
            const QXmlStreamAttributes a = svg.attributes();
            QVERIFY(!a.hasAttribute(QLatin1String("vector-effect")));
            const QString key = svg.name() == QLatin1String("line")
                ? QStringLiteral("line %1,%2").arg(a.value(QLatin1String("x1")), a.value(QLatin1String("y1")))
                : svg.name().toString() + QLatin1Char(' ') + a.value(QLatin1String("stroke")).toString();
            widths[key] = a.value(QLatin1String("stroke-width")).toString();
        }
        QFETCH(QString, element);
        QTEST(widths.value(element), "width");
    }

    void savedPictures()
    {
        ChartBench b(3);
        for (int i = 0; i < 32; ++i)   // the last row redraws all: one run
            b.log(clock(36000 + i), QStringLiteral("%1uS/cm").arg(1000 + i));
        b.frame(QStringLiteral("E"));   // the help text over the traces
        QXmlStreamReader svg(chartSvg(b.core.chart, b.core.Picture4));
        int polylines = 0, texts = 0;
        while (!svg.atEnd())
            if (svg.readNext() == QXmlStreamReader::StartElement)
                polylines += svg.name() == QLatin1String("polyline"), texts += svg.name() == QLatin1String("text");
        QVERIFY2(!svg.hasError(), qPrintable(svg.errorString()));
        QCOMPARE(polylines, 2);
        QCOMPARE(texts, 3);
    }
};

QTEST_MAIN(TestChart)
#include "tst_chart.moc"
