// The report of a recording: its statistics against a two-pass reference,
// the electrode verdicts, the paper by locale, and the PDF itself read back
// with poppler's tools as a reader of it would see it.
#include "report/CalibrationCheck.h"
#include "report/ColumnStats.h"
#include "report/PaperSize.h"
#include "report/ReportAuditTrail.h"
#include "report/ReportData.h"
#include "report/SavedLimits.h"
#include "support/DataTable.h"
#include "support/Files.h"
#include "support/OwnHome.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QSettings>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTime>

#include <cmath>
#include <sys/stat.h>

namespace {

// What one unit of a column should come to: the numbers as the unit shows them.
struct Expected
{
    QString unit;
    QList<double> values;
    int decimals;
};
using Groups = QList<Expected>;

struct Reference
{
    double min, max, mean, sd;
};

// The textbook way: the mean first, then the squared deviations from it.
Reference twoPass(const QList<double> &v)
{
    double sum = 0;
    for (double x : v)
        sum += x;
    const double mean = sum / double(v.size());
    double squares = 0;
    for (double x : v)
        squares += (x - mean) * (x - mean);
    return {*std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()), mean,
            v.size() > 1 ? std::sqrt(squares / double(v.size() - 1)) : std::nan("")};
}

bool near(double a, double b)
{
    return std::abs(a - b) <= 1e-9 * std::max({1.0, std::abs(a), std::abs(b)});
}

ExportSource source(const QList<ExportSource::Row> &rows)
{
    ExportSource s;
    s.rows = int(rows.size());
    s.read = [rows](int r, ExportSource::Row &cells) { cells = rows[r]; };
    return s;
}

// A synthetic pH recording of `rows` readings: a 88 % slope at the start,
// recalibrated to 97.2 % half way; long names that must wrap.
ReportData phRecording(int rows)
{
    ReportData d;
    d.recordingId = QStringLiteral("20260307-090502-4711");
    d.model = QStringLiteral("TQ8P BenchLog(2201)");
    d.device = QStringLiteral("/dev/ttyUSB0");
    d.stableDevice = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KZ4QX_with_a_name_long_enough_to_"
                                    "need_more_than_one_line_in_its_column-if00-port0");
    d.host = QStringLiteral("bench-pc-3");
    d.user = QStringLiteral("mkeller");
    d.programVersion = QStringLiteral("0.1");
    d.start = QStringLiteral("2026-03-07T09:05:02+01:00");
    d.end = QStringLiteral("2026-03-07T10:05:02+01:00");
    d.endedHow = QStringLiteral("Export");
    const QList<QPair<QString, QString>> fields = {
        {QStringLiteral("Buffer set"), QStringLiteral("USA")}, {QStringLiteral("Calibration points"), QStringLiteral("3")},
        {QStringLiteral("Slope"), QStringLiteral("88.0 %")},   {QStringLiteral("Offset"), QStringLiteral("12.5 mV")},
        {QStringLiteral("Resolution"), QStringLiteral("0.01")}};
    const QList<QPair<QString, QString>> panel = {{QStringLiteral("Solu :"), QStringLiteral("USA")},
                                                  {QStringLiteral("Slope :"), QStringLiteral("88.0%")}};
    d.settings.append({QString(), fields, panel, 88.0, 12.5});
    auto changed = fields;
    changed[2].second = QStringLiteral("97.2 %");
    auto changedPanel = panel;
    changedPanel[1].second = QStringLiteral("97.2%");
    d.settings.append({QStringLiteral("2026-03-07T09:30:00+01:00"), changed, changedPanel, 97.2, 12.5});

    QList<ExportSource::Row> table{{"sn", "Date", "Time", "pH", "Temp", "", "", ""}};
    for (int r = 1; r <= rows; ++r)
        table.append({QString::number(r), "3-07", QTime(9, 5, 2).addSecs(r).toString(QStringLiteral("h:mm:ss")),
                      QString::number(7.0 + 0.01 * ((r * 37) % 23 - 11), 'f', 2),
                      QString::number(24.0 + 0.1 * ((r * 13) % 17), 'f', 1) + QStringLiteral("°C(ATC)"), "", "", ""});
    d.rows = source(table);

    d.events = {{"2026-03-07T08:05:02.125Z", "2026-03-07T09:05:02.125+01:00", "program start", "version: 0.1"},
                {"2026-03-07T08:05:03Z", "2026-03-07T09:05:03+01:00", "port opened", "device: " + d.device},
                {"2026-03-07T08:30:00Z", "2026-03-07T09:30:00+01:00", "settings frame",
                 QStringLiteral("Slope 88.0% → 97.2%; ").repeated(30)}};
    d.fingerprint = QString::fromLatin1(QCryptographicHash::hash("chain", QCryptographicHash::Sha256).toHex());
    d.chart = QImage(1200, 700, QImage::Format_RGB32);
    d.chart.fill(Qt::white);
    QPainter p(&d.chart);
    p.setPen(QPen(Qt::red, 3));
    p.drawLine(50, 600, 1150, 100);
    return d;
}

QString tool(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The report as poppler reads it: the text laid out, the page count and
// size, each word's box and how many pictures it holds.
struct ReadBack
{
    QString text, info, boxes;
    int pages = 0, images = 0;
};

ReadBack readBack(const QString &pdf)
{
    ReadBack b;
    b.text = tool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    b.info = tool(QStringLiteral("pdfinfo"), {pdf});
    b.boxes = tool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    b.pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(b.info).captured(1).toInt();
    b.images = int(tool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}).count(u'\n')) - 2;
    return b;
}

// Every page says which it is and how many there are, and carries the
// recording's fingerprint whole.
void checkPages(const ReadBack &b, const QString &fingerprint)
{
    const QString mark = fingerprint.isEmpty() ? QStringLiteral("Fingerprint: none") : QStringLiteral("Fingerprint ") + fingerprint;
    QVERIFY2(b.pages > 0, qPrintable(b.info));
    const QStringList pages = b.text.split(u'\f');
    QCOMPARE(pages.size(), b.pages + 1);   // each page ends with a form feed
    for (int i = 0; i < b.pages; ++i)
        QVERIFY2(pages[i].contains(QStringLiteral("page %1 of %2").arg(i + 1).arg(b.pages)) && pages[i].contains(mark),
                 qPrintable(pages[i]));
}

// No word stands outside the page's left and right margins (18 mm) or below its foot.
void checkInsideMargins(const ReadBack &b)
{
    const QRegularExpression page(QStringLiteral("<page width=\"([\\d.]+)\" height=\"([\\d.]+)\""));
    const QRegularExpression word(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"[\\d.]+\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)<"));
    const auto size = page.match(b.boxes);
    QVERIFY2(size.hasMatch(), qPrintable(b.boxes.left(400)));
    const double width = size.captured(1).toDouble(), height = size.captured(2).toDouble(), margin = 18 / 25.4 * 72;
    int words = 0;
    for (auto it = word.globalMatch(b.boxes); it.hasNext(); ++words) {
        const auto w = it.next();
        QVERIFY2(w.captured(1).toDouble() >= margin - 1 && w.captured(2).toDouble() <= width - margin + 1
                     && w.captured(3).toDouble() <= height,
                 qPrintable(w.captured(0)));
    }
    QVERIFY(words > 50);
}

// The line of the statistics table for `quantity` with the reference's figures.
QString statsLine(const QString &quantity, const QString &unit, const QList<double> &v, int decimals)
{
    const Reference ref = twoPass(v);
    auto fixed = [](double x, int places) { return QRegularExpression::escape(QString::number(x, 'f', places)); };
    return QStringLiteral("^\\s*%1\\s+%2\\s+%3\\s+%4\\s+%5\\s+%6\\s+%7\\s*$")
        .arg(quantity, unit, QString::number(v.size()), fixed(ref.min, decimals), fixed(ref.max, decimals),
             fixed(ref.mean, decimals + 1), fixed(ref.sd, decimals + 1));
}

bool hasLine(const QString &text, const QString &pattern)
{
    return QRegularExpression(pattern, QRegularExpression::MultilineOption).match(text).hasMatch();
}

} // namespace

Q_DECLARE_METATYPE(Expected)
Q_DECLARE_METATYPE(Groups)

class Report : public QObject
{
    Q_OBJECT
public:
    static void initMain() { useOwnHome(); }

private slots:
    // One column's cells; per unit the numbers it should show, by hand, in
    // the quantity's fixed unit.
    void stats_data()
    {
        columns<QString, QStringList, Groups, int>("caption", "cells", "groups", "notNumbers");
        dataRow("pH, dashes and empty cells not counted", QString("pH"), QStringList{"7.00", "7.02", "----", "", "6.98"},
                Groups{{"pH", {7.00, 7.02, 6.98}, 2}}, 1);
        dataRow("conductivity in mS/cm and uS/cm", QString("COND"), QStringList{" 12.5 mS/cm", "850 uS/cm", "1.25 mS/cm"},
                Groups{{"µS/cm", {12500, 850, 1250}, 0}}, 0);
        dataRow("conductivity below 1 uS/cm keeps its places", QString("COND"), QStringList{"0.05 uS/cm", "0.001 mS/cm"},
                Groups{{"µS/cm", {0.05, 1}, 2}}, 0);
        dataRow("resistivity in MR.cm and KR.cm", QString("RES"), QStringList{"18.2 MR.cm", "950 KR.cm", "17.5 MR.cm"},
                Groups{{"Ω·cm", {18200000, 950000, 17500000}, 0}}, 0);
        dataRow("TDS in mg/L and g/L", QString("TDS"), QStringList{"850 mg/L", "1.20 g/L", "990 mg/L"},
                Groups{{"mg/L", {850, 1200, 990}, 0}}, 0);
        dataRow("temperature marks dropped, Fahrenheit converted", QString("Temp"),
                QStringList{"25.0°C(ATC)", "77.0°F(MTC)", "20.0°C(MTC)"}, Groups{{"°C", {25.0, 25.0, 20.0}, 2}}, 0);
        dataRow("salinity written without a blank", QString("SAL"), QStringList{"12ppt", "15ppt"}, Groups{{"ppt", {12, 15}, 0}}, 0);
        dataRow("ion traces the table calls ppt", QString("ppm"), QStringList{"0.500 ppm", "5.0 ppt"},
                Groups{{"ppm", {0.5, 0.005}, 4}}, 0);
        dataRow("units that do not convert, per unit", QString("mg/ppm"), QStringList{"8.50 mg/L", "8.40 ppm", "8.45 mg/L"},
                Groups{{"mg/L", {8.50, 8.45}, 2}, {"ppm", {8.40}, 2}}, 0);
        // Squares of 1e8 swamp the spread in a one-pass sum of squares.
        dataRow("tiny spread on a large value", QString("X"),
                QStringList{"100000000.01", "100000000.02", "100000000.03", "100000000.06"},
                Groups{{"", {100000000.01, 100000000.02, 100000000.03, 100000000.06}, 2}}, 0);
        dataRow("dates, times, texts and broken numbers", QString("X"),
                QStringList{"3-07", "9:05:02", "1.2.3", "1.00E-", "ATC", "----", "-"}, Groups{}, 7);
    }
    void stats()
    {
        auto [caption, cells, groups, notNumbers] = fetch<QString, QStringList, Groups, int>("caption", "cells", "groups", "notNumbers");
        ColumnStatsBuilder builder({"sn", "Date", "Time", caption, "", "", "", ""});
        for (const QString &c : cells)
            builder.add({"1", "3-07", "9:05:02", c, "", "", "", ""});
        const QList<ColumnStats> result = builder.result();
        QCOMPARE(result.size(), 1);   // sn, Date, Time and the unnamed empty columns are no quantities
        QCOMPARE(result[0].header, caption);
        QCOMPARE(result[0].notNumbers, qint64(notNumbers));
        QCOMPARE(result[0].units.size(), groups.size());
        for (int i = 0; i < groups.size(); ++i) {
            const UnitStats &s = result[0].units[i];
            const Reference ref = twoPass(groups[i].values);
            QCOMPARE(s.unit, groups[i].unit);
            QCOMPARE(s.n, qint64(groups[i].values.size()));
            QCOMPARE(s.decimals, groups[i].decimals);
            QVERIFY2(near(s.min, ref.min) && near(s.max, ref.max) && near(s.mean, ref.mean),
                     qPrintable(QStringLiteral("%1 %2 %3").arg(s.min).arg(s.max).arg(s.mean, 0, 'g', 17)));
            QVERIFY2(std::isnan(ref.sd) ? std::isnan(s.sd) : std::abs(s.sd - ref.sd) <= 1e-6 * ref.sd,
                     qPrintable(QStringLiteral("sd %1, reference %2").arg(s.sd, 0, 'g', 17).arg(ref.sd, 0, 'g', 17)));
        }
    }

    // The value as it was compared, the limits, the verdict.
    void calibration_data()
    {
        columns<bool, double, double, QString, QString>("slope", "value", "offsetMax", "shown", "verdict");
        dataRow("slope 88 fails", true, 88.0, 30.0, QString("Slope 88.0 %  (95–105 %)  "), QString("FAIL"));
        dataRow("slope on the lower limit passes", true, 95.0, 30.0, QString("Slope 95.0 %"), QString("PASS"));
        dataRow("slope on the upper limit passes", true, 105.0, 30.0, QString("Slope 105.0 %"), QString("PASS"));
        dataRow("slope above fails", true, 105.1, 30.0, QString("Slope 105.1 %"), QString("FAIL"));
        dataRow("slope just above, not rounded onto the limit", true, 105.04, 30.0, QString("Slope 105.04 %"), QString("FAIL"));
        dataRow("slope not a number fails", true, std::nan(""), 30.0, QString("Slope nan"), QString("FAIL"));
        dataRow("offset -30 passes", false, -30.0, 30.0, QString("Offset -30.0 mV"), QString("PASS"));
        dataRow("offset 30.5 fails", false, 30.5, 30.0, QString("Offset 30.5 mV"), QString("FAIL"));
        dataRow("offset with its own digits", false, -1.35, 1.38, QString("Offset -1.35 mV  (±1.38 mV)  "), QString("PASS"));
    }
    void calibration()
    {
        auto [slope, value, offsetMax, shown, verdict] =
            fetch<bool, double, double, QString, QString>("slope", "value", "offsetMax", "shown", "verdict");
        ReportLimits limits;
        limits.offsetMaxAbsMv = offsetMax;
        const CheckLine line = slope ? slopeCheck(value, limits) : offsetCheck(value, limits);
        QVERIFY2(line.text.startsWith(shown), qPrintable(line.text));
        QCOMPARE(line.text.mid(line.verdictAt), verdict);
        QCOMPARE(line.pass, verdict == QStringLiteral("PASS"));
    }

    // Saved for the user, read back by both programs; nonsense is refused.
    void savedLimits_data()
    {
        columns<double, double, double, bool>("slopeMin", "slopeMax", "offsetMax", "saved");
        dataRow("narrower limits", 97.5, 102.0, 15.0, true);
        dataRow("one slope only", 100.0, 100.0, 0.0, true);
        dataRow("lowest above highest", 103.0, 99.0, 30.0, false);
        dataRow("negative offset", 95.0, 105.0, -1.0, false);
    }
    void savedLimits()
    {
        auto [slopeMin, slopeMax, offsetMax, saved] = fetch<double, double, double, bool>("slopeMin", "slopeMax", "offsetMax", "saved");
        QCOMPARE(savedlimits::save(ReportLimits{}), QString());
        const QString why = savedlimits::save(ReportLimits{slopeMin, slopeMax, offsetMax});
        QCOMPARE(why.isEmpty(), saved);
        const ReportLimits back = savedlimits::load();
        const ReportLimits expected = saved ? ReportLimits{slopeMin, slopeMax, offsetMax} : ReportLimits{};
        QCOMPARE(back.slopeMin, expected.slopeMin);
        QCOMPARE(back.slopeMax, expected.slopeMax);
        QCOMPARE(back.offsetMaxAbsMv, expected.offsetMaxAbsMv);
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("TQ800"), QStringLiteral("report")).clear();
    }

    // The audit trail in the order things happened: by the run's own clock
    // within a run, runs in the order the chain shows them.
    void auditOrder_data()
    {
        // Each event: "name utc mono" (mono "-": none); the names expected.
        columns<QStringList, QStringList>("chain", "order");
        dataRow("what a run saw before its first row is written after begin",
                QStringList{"begin 10:00:05.000 5000", "settings 10:00:05.000 5000 in_force", "start 10:00:00.100 100",
                            "port_opened 10:00:00.200 200", "model 10:00:05.000 5000", "clear 10:00:09.000 9000"},
                QStringList{"program start", "port opened", "model frame", "recording began", "settings frame", "Clear"});
        dataRow("a clock set back an hour within the run",
                QStringList{"start 10:00:00.000 0", "clock_jump 09:00:10.000 10000 -3600000", "clear 09:00:20.000 20000",
                            "exit 09:00:30.000 30000"},
                QStringList{"program start", "clock jump", "Clear", "program exit"});
        dataRow("the same millisecond of the run: the computer's time",
                QStringList{"port_opened 10:00:00.017 500", "start 10:00:00.016 500"},
                QStringList{"program start", "port opened"});
        dataRow("a later run closes it, its clock lower",
                QStringList{"begin 10:00:00.000 90000", "clear 10:05:00.000 390000", "end 12:00:00.000 50"},
                QStringList{"recording began", "Clear", "recording ended"});
        dataRow("an event without clocks stays behind the one before it",
                QStringList{"begin 10:00:05.000 5000", "clear - -", "start 10:00:00.000 0"},
                QStringList{"program start", "recording began", "Clear"});
        dataRow("a store of the first layout keeps the chain's order",
                QStringList{"begin - -", "start - -", "clear - -"}, QStringList{"recording began", "program start", "Clear"});
    }
    void auditOrder()
    {
        auto [chain, order] = fetch<QStringList, QStringList>("chain", "order");
        AuditTrailBuilder trail;
        for (const QString &e : chain) {
            const QStringList f = e.split(u' ');
            QJsonObject o{{"event", f[0]}};
            if (f[1] != QLatin1String("-"))
                o.insert("utc", QStringLiteral("2026-03-07T%1Z").arg(f[1]));
            if (f[2] != QLatin1String("-"))
                o.insert("mono_ms", f[2].toLongLong());
            if (f.size() > 3 && f[3] == QLatin1String("in_force"))
                o.insert("in_force", true);
            else if (f.size() > 3)
                o.insert("by_ms", f[3].toLongLong());
            trail.add(o);
        }
        QStringList names;
        for (const ReportEvent &e : trail.result())
            names << e.kind;
        QCOMPARE(names, order);
    }

    // What a settings frame changed, as the panel shows it.
    void settingsDetail_data()
    {
        // Panels as "caption=value" lists; `before` empty: the first frame.
        columns<QStringList, QStringList, bool, QString>("before", "after", "fieldsDiffer", "detail");
        dataRow("the first, in force at the start", QStringList{}, QStringList{"Solu :=USA", "Slope :=88.0%"}, false,
                QString("in force at the start: Solu USA, Slope 88.0%"));
        dataRow("a slope changed", QStringList{"Solu :=USA", "Slope :=88.0%"}, QStringList{"Solu :=USA", "Slope :=97.2%"},
                true, QString("Slope 88.0% → 97.2%"));
        dataRow("a row came and one went", QStringList{"Solu :=USA", "ATC :=on"}, QStringList{"Solu :=NIST", "Slope :=97.2%"},
                true, QString("Solu USA → NIST; Slope – → 97.2%; ATC on → –"));
        dataRow("sent again", QStringList{"Solu :=USA"}, QStringList{"Solu :=USA"}, false,
                QString("sent again; nothing changed"));
        dataRow("a field the panel does not show", QStringList{"Solu :=USA"}, QStringList{"Solu :=USA"}, true,
                QString("a setting the panel does not show changed"));
    }
    void settingsDetail()
    {
        auto [before, after, fieldsDiffer, detail] =
            fetch<QStringList, QStringList, bool, QString>("before", "after", "fieldsDiffer", "detail");
        auto frame = [](const QStringList &rows, int slope, bool inForce) {
            QJsonArray panel;
            for (const QString &r : rows)
                panel.append(QJsonArray{r.section(u'=', 0, 0), r.section(u'=', 1)});
            return QJsonObject{{"event", "settings"}, {"panel", panel}, {"in_force", inForce},
                               {"fields", QJsonObject{{"CalSlope", slope}}}};
        };
        const QJsonObject previous = before.isEmpty() ? QJsonObject() : frame(before, 88, true);
        QCOMPARE(settingsChange(previous, frame(after, fieldsDiffer ? 97 : 88, before.isEmpty())), detail);
    }


    void paper_data()
    {
        columns<QString, bool>("locale", "letter");
        dataRow("United States", QString("en_US"), true);
        dataRow("Canada, French", QString("fr_CA"), true);
        dataRow("Philippines", QString("en_PH"), true);
        dataRow("Germany", QString("de_DE"), false);
        dataRow("United Kingdom", QString("en_GB"), false);
        dataRow("C locale", QString("C"), false);
    }
    void paper()
    {
        auto [locale, letter] = fetch<QString, bool>("locale", "letter");
        QCOMPARE(usesLetterPaper(QLocale(locale)), letter);
    }

    // LC_ALL, then LC_PAPER, then LANG: the first one set decides.
    void paperFromEnvironment_data()
    {
        columns<QString, QString, QString, QString>("lcAll", "lcPaper", "lang", "size");
        dataRow("LC_PAPER before LANG", QString(), QString("en_US.UTF-8"), QString("de_DE.UTF-8"), QString("(letter)"));
        dataRow("LC_PAPER for A4 under a Letter LANG", QString(), QString("de_DE.UTF-8"), QString("en_US.UTF-8"), QString("(A4)"));
        dataRow("LC_ALL before LC_PAPER", QString("de_DE.UTF-8"), QString("en_US.UTF-8"), QString(), QString("(A4)"));
        dataRow("LANG alone, with a modifier", QString(), QString(), QString("es_MX.UTF-8@euro"), QString("(letter)"));
        dataRow("LC_PAPER POSIX", QString(), QString("POSIX"), QString("en_US.UTF-8"), QString("(A4)"));
        dataRow("nothing set", QString(), QString(), QString(), QString("(A4)"));
    }
    void paperFromEnvironment()
    {
        auto [lcAll, lcPaper, lang, size] = fetch<QString, QString, QString, QString>("lcAll", "lcPaper", "lang", "size");
        const QByteArray names[] = {"LC_ALL", "LC_PAPER", "LANG"};
        const QString values[] = {lcAll, lcPaper, lang};
        QByteArray saved[3];
        for (int i = 0; i < 3; ++i) {
            saved[i] = qgetenv(names[i]);
            qputenv(names[i], values[i].toUtf8());
        }
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("paper.pdf"));
        const QString error = writeReport(pdf, phRecording(3));
        for (int i = 0; i < 3; ++i)
            qputenv(names[i], saved[i]);
        QCOMPARE(error, QString());
        const QString info = readBack(pdf).info;
        QVERIFY2(info.contains(size), qPrintable(info));
    }

    // The whole report of a pH recording, read back.
    void phReport()
    {
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
        const ReportData d = phRecording(60);
        QCOMPARE(writeReport(pdf, d, QPageSize::A4), QString());
        const ReadBack b = readBack(pdf);
        QVERIFY2(!b.text.isEmpty(), "pdftotext read nothing");
        const QString flat = b.text.simplified();
        for (const QString &field : {d.model, d.recordingId, d.start, d.end, d.endedHow, d.host, d.user, d.device,
                                     QStringLiteral("Program version 0.1"), d.fingerprint})
            QVERIFY2(flat.contains(field), qPrintable(field));
        // The stable name wraps; all of it is there.
        QVERIFY(QString(b.text).remove(QRegularExpression(QStringLiteral("\\s"))).contains(d.stableDevice));

        // The verdict beside the value on one line, for the start and the change.
        QVERIFY2(hasLine(b.text, QStringLiteral("Slope 88\\.0 %\\s+\\(95–105 %\\)\\s+FAIL\\s*$")), qPrintable(b.text));
        QVERIFY(hasLine(b.text, QStringLiteral("Offset 12\\.5 mV\\s+\\(±30 mV\\)\\s+PASS\\s*$")));
        QVERIFY(hasLine(b.text, QStringLiteral("Slope 97\\.2 %\\s+\\(95–105 %\\)\\s+PASS\\s*$")));
        QVERIFY(hasLine(b.text, QStringLiteral("^\\s*Slope :\\s+88\\.0%\\s+97\\.2%\\s*$")));   // the change, as shown
        // The settings as the panel shows them: none of the fields behind it.
        for (const char *field : {"Buffer set", "Calibration points", "Resolution"})
            QVERIFY2(!flat.contains(QLatin1String(field)), field);
        // The audit trail: the local time with its offset on one line, the
        // event, the detail.
        QVERIFY2(hasLine(b.text, QStringLiteral("^\\s*2026-03-07 09:05:02\\.125 \\+01:00\\s+program start\\s+version: 0\\.1\\s*$")),
                 qPrintable(b.text));
        QVERIFY(hasLine(b.text, QStringLiteral("^\\s*2026-03-07 09:30:00 \\+01:00\\s+settings frame\\s+Slope 88\\.0% → 97\\.2%;")));

        // Statistics per quantity against the reference.
        QList<double> ph, temp;
        for (int r = 1; r <= 60; ++r) {
            ExportSource::Row row;
            d.rows.read(r, row);
            ph.append(row[3].toDouble());
            temp.append(row[4].chopped(7).toDouble());
        }
        QVERIFY2(hasLine(b.text, statsLine(QStringLiteral("pH"), QStringLiteral("pH"), ph, 2)),
                 qPrintable(statsLine(QStringLiteral("pH"), QStringLiteral("pH"), ph, 2)));
        QVERIFY2(hasLine(b.text, statsLine(QStringLiteral("Temp"), QStringLiteral("°C"), temp, 1)),
                 qPrintable(statsLine(QStringLiteral("Temp"), QStringLiteral("°C"), temp, 1)));

        // Every reading, the chart, the pages.
        QVERIFY(hasLine(b.text, QStringLiteral("^\\s*1\\s+3-07\\s+9:05:03\\s+")));
        QVERIFY(hasLine(b.text, QStringLiteral("^\\s*60\\s+3-07\\s+9:06:02\\s+")));
        QVERIFY(flat.contains(QStringLiteral("All 60 readings")));
        QCOMPARE(b.images, 1);
        QVERIFY(b.pages >= 3);
        checkPages(b, d.fingerprint);
        checkInsideMargins(b);
    }

    // Over the limit: a page's worth from each end, a line that says so.
    void cutReadings()
    {
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("cut.pdf"));
        ReportData d = phRecording(300);
        d.rowLimit = 100;
        d.allRowsExport = QStringLiteral("tq800-log --recording 1 --export FILE");
        QCOMPARE(writeReport(pdf, d), QString());
        const ReadBack b = readBack(pdf);
        const QString flat = b.text.simplified();
        QVERIFY2(flat.contains(QStringLiteral("The recording holds 300 readings, more than the 100 a report prints in full")),
                 qPrintable(flat));
        QVERIFY2(flat.contains(QStringLiteral("Every reading is in tq800-log --recording 1 --export FILE.")), qPrintable(flat));
        const auto gap = QRegularExpression(QStringLiteral("Readings (\\d+) to (\\d+) are not printed here\\.")).match(flat);
        QVERIFY(gap.hasMatch());
        const int from = gap.captured(1).toInt(), to = gap.captured(2).toInt();
        QVERIFY2(from > 10 && to < 300 && (from - 1) + (300 - to) <= 100, qPrintable(gap.captured(0)));
        auto row = [&](int r) { return hasLine(b.text, QStringLiteral("^\\s*%1\\s+3-07\\s+").arg(r)); };
        QVERIFY(row(1) && row(from - 1) && !row(from) && !row(to) && row(to + 1) && row(300));
        checkPages(b, d.fingerprint);
    }

    // No chart, no readings, no settings: still a whole report.
    void emptyRecording_data()
    {
        columns<int, int, QString>("rows", "page", "size");
        dataRow("header only, A4", 1, int(QPageSize::A4), QString("595 x 842 pts (A4)"));
        dataRow("no rows at all, Letter", 0, int(QPageSize::Letter), QString("612 x 792 pts (letter)"));
    }
    void emptyRecording()
    {
        auto [rows, page, size] = fetch<int, int, QString>("rows", "page", "size");
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("empty.pdf"));
        ReportData d;
        d.recordingId = QStringLiteral("empty");
        d.rows = source(QList<ExportSource::Row>{{"sn", "Date", "Time", "pH", "Temp", "", "", ""}}.first(rows));
        QCOMPARE(writeReport(pdf, d, QPageSize::PageSizeId(page)), QString());
        const ReadBack b = readBack(pdf);
        QVERIFY2(b.info.contains(size), qPrintable(b.info));
        const QString flat = b.text.simplified();
        for (const char *text : {"The recording holds no readings.", "No chart was drawn", "No events were recorded.",
                                 "Performed by", "Reviewed by"})
            QVERIFY2(flat.contains(QLatin1String(text)), text);
        QCOMPARE(b.images, 0);
        checkPages(b, d.fingerprint);
    }

    // Only an ordinary file is replaced; a pipe or a device keeps its kind and
    // nothing is left beside it.
    void target_data()
    {
        columns<QString>("kind");
        dataRow("fifo", QString("fifo"));
        dataRow("device", QString("device"));
        dataRow("folder", QString("folder"));
        dataRow("inside a folder that is not there", QString("missing"));
        dataRow("ordinary file", QString("file"));
    }
    void target()
    {
        auto [kind] = fetch<QString>("kind");
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("target"));
        if (kind == QStringLiteral("fifo"))
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (kind == QStringLiteral("folder"))
            QVERIFY(QDir().mkdir(path));
        else if (kind == QStringLiteral("device"))
            path = QStringLiteral("/dev/null");
        else if (kind == QStringLiteral("missing"))
            path = dir.filePath(QStringLiteral("gone/target"));
        else {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("old") == 3);
            QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
        }
        const QString error = writeReport(path, phRecording(3));
        struct stat st {};
        const int found = stat(QFile::encodeName(path).constData(), &st);
        if (kind == QStringLiteral("missing")) {
            QVERIFY2(error.contains(path) && !error.contains(QStringLiteral("Unknown error")), qPrintable(error));
            QCOMPARE(found, -1);
        } else if (kind == QStringLiteral("file")) {
            QCOMPARE(error, QString());
            QVERIFY(readFile(path).startsWith("%PDF"));
            QCOMPARE(int(st.st_mode & 07777), 0640);   // a replaced file keeps its permissions
        } else {
            QCOMPARE(found, 0);
            QVERIFY2(error.contains(path), qPrintable(error));
            QVERIFY(kind == QStringLiteral("fifo") ? S_ISFIFO(st.st_mode)
                    : kind == QStringLiteral("device") ? S_ISCHR(st.st_mode) : S_ISDIR(st.st_mode));
        }
        const bool inDir = kind != QStringLiteral("device") && kind != QStringLiteral("missing");
        QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("target")}.mid(inDir ? 0 : 1));
    }
};

QTEST_MAIN(Report)
#include "tst_report.moc"
