// Readings as data: one time per reading (a memory record dated by the
// meter's clock, its year read against the download), one unit per
// quantity however the meter's range showed it, and the exports a data tool
// reads as data (JSON Lines, the tidy CSV read back by pandas) from the
// window, from the store and from the logger.
#include "record/Recorder.h"
#include "shell/ExportName.h"
#include "support/DataTable.h"
#include "support/FakeMeter.h"
#include "support/Files.h"
#include "support/OwnHome.h"
#include "support/Readings.h"
#include "text/FixedUnit.h"
#include "text/MeterClock.h"
#include "tidy/ReadingExport.h"

#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>

#include <optional>

namespace {

QByteArray stored(int month, int day, int hour, int minute, int second)
{
    sim::StoredRecord r;
    r.mode = 1;
    r.decimals = 2;
    r.value = 700;
    r.month = month;
    r.day = day;
    r.hour = hour;
    r.minute = minute;
    r.second = second;
    return QByteArray::fromStdString(sim::encodeStored(r));
}

// A live conductivity reading of `microSiemens` at 25.0 °C.
QByteArray conductivity(double microSiemens, int second)
{
    const sim::CondField f = sim::conductivityField(microSiemens);
    sim::LiveReading r;
    r.mode = 9;
    r.month = 12;
    r.day = 7;
    r.hour = 10;
    r.second = second;
    r.rangeCode = f.rangeCode;
    r.value = f.raw;
    return QByteArray::fromStdString(sim::encodeLive(r));
}

// A conductivity table whose readings change ranges: µS/cm and mS/cm, R.cm
// and KR.cm, mg/L and g/L of TDS.
const QList<double> kConductivities{1413, 2500, 150, 1413};
void logConductivity(Bench &b)
{
    b.feed(QByteArray::fromStdString(sim::encodeSettings({.family = 3})));
    b.core.cmdClear_Click();
    for (int i = 0; i < kConductivities.size(); ++i)
        b.feed(conductivity(kConductivities[i], i));
}

QList<QJsonObject> jsonLines(const QString &path)
{
    QList<QJsonObject> out;
    for (const QByteArray &line : readFile(path).split('\n'))
        if (!line.isEmpty())
            out << QJsonDocument::fromJson(line).object();
    return out;
}

// pandas on a tidy CSV: which columns it reads as numbers, the time
// column's zone with parse_dates, and the conductivity column.
QJsonObject pandas(const QString &csv)
{
    static const char script[] = R"(
import json, sys, pandas as pd
d = pd.read_csv(sys.argv[1])
t = pd.read_csv(sys.argv[1], parse_dates=['time'])
print(json.dumps({'numeric': [c for c in d.columns if pd.api.types.is_numeric_dtype(d[c])],
                  'tz': str(t['time'].dt.tz) if pd.api.types.is_datetime64_any_dtype(t['time']) else None,
                  'cond': d['COND_uS_cm'].tolist()}))
)";
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(script), csv});
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        qWarning() << p.readAllStandardError();
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

bool havePandas()
{
    return QProcess::execute(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import pandas")}) == 0;
}

QString label(const QJsonObject &body, const QString &kind)
{
    return kind == QLatin1String("row") ? QStringLiteral("row ") + body["source"].toString()
                                        : body["event"].toString() + (body.contains("rows") ? QStringLiteral(" %1").arg(body["rows"].toInt()) : QString());
}

} // namespace

class Readings : public QObject
{
    Q_OBJECT
public:
    static void initMain() { useOwnHome(); }
private slots:
    // The meter's clock has no year: the latest that puts the record no
    // later than the download (a meter clock up to a day fast forgiven).
    void recordYear_data()
    {
        columns<QString, QString, QDateTime, int>("date", "time", "downloaded", "year");
        const QDateTime jan2(QDate(2027, 1, 2), QTime(10, 0));
        dataRow("31 December, downloaded on 2 January", QString("12-31"), QString("23:59:58"), jan2, 2026);
        dataRow("1 January, downloaded on 2 January", QString("1-01"), QString("0:00:01"), jan2, 2027);
        dataRow("a meter clock five minutes fast", QString("1-02"), QString("10:05:00"), jan2, 2027);
        dataRow("three days ahead: last year's", QString("1-05"), QString("9:00:00"), jan2, 2026);
        dataRow("29 February, the last leap year", QString("2-29"), QString("12:00:00"), QDateTime(QDate(2027, 3, 1), QTime(8, 0)), 2024);
        dataRow("29 February, this leap year", QString("2-29"), QString("12:00:00"), QDateTime(QDate(2028, 3, 1), QTime(8, 0)), 2028);
        dataRow("29 February, 2100 is no leap year", QString("2-29"), QString("12:00:00"), QDateTime(QDate(2100, 3, 1), QTime(8, 0)), 2096);
        dataRow("30 February", QString("2-30"), QString("12:00:00"), jan2, 0);
        dataRow("a clock never set", QString("0-00"), QString("0:00:00"), jan2, 0);
        dataRow("not a time", QString("12-31"), QString("25:00:00"), jan2, 0);
    }
    void recordYear()
    {
        auto [date, time, downloaded, year] = fetch<QString, QString, QDateTime, int>("date", "time", "downloaded", "year");
        const std::optional<QDateTime> t = meterclock::recordTime(date, time, downloaded);
        QCOMPARE(t ? t->date().year() : 0, year);
        if (t)
            QCOMPARE(t->toString(u"M-dd H:mm:ss"), date + u' ' + time);
    }

    // Moving the decimal point in the text: exact where multiplying a
    // double is not (1.001 x 1000 is 1000.9999999999999).
    void shiftedDecimals_data()
    {
        columns<QString, int, QString>("text", "shift", "expected");
        dataRow("mS/cm to µS/cm", QString("1.413"), 3, QString("1413"));
        dataRow("no double product", QString("1.001"), 3, QString("1001"));
        dataRow("a place more than shown", QString("12.5"), 3, QString("12500"));
        dataRow("ppb to ppm, negative", QString("-12.5"), -3, QString("-0.0125"));
        dataRow("with an exponent", QString("1.06E-03"), 3, QString("1.06"));
        dataRow("a sign and nothing to move", QString("+7.00"), 0, QString("7"));
        dataRow("two points", QString("1.2.3"), 0, QString());
        dataRow("an exponent cut short", QString("1.00E-"), 0, QString());
        dataRow("empty", QString(""), 0, QString());
    }
    void shiftedDecimals()
    {
        auto [text, shift, expected] = fetch<QString, int, QString>("text", "shift", "expected");
        const std::optional<double> v = shiftedDecimal(text, shift);
        QCOMPARE(v.has_value(), !expected.isEmpty());
        if (v)
            QCOMPARE(*v, expected.toDouble());
    }

    void columnNames_data()
    {
        columns<QString, QString, QString>("caption", "unit", "expected");
        dataRow("conductivity", QString("COND"), QString("µS/cm"), QString("COND_uS_cm"));
        dataRow("resistivity", QString("RES"), QString("Ω·cm"), QString("RES_ohm_cm"));
        dataRow("temperature", QString("Temp"), QString("°C"), QString("Temp_degC"));
        dataRow("pH says it once", QString("pH"), QString("pH"), QString("pH"));
        dataRow("oxygen saturation", QString("%"), QString("%"), QString("DO_sat_pct"));
        dataRow("no unit", QString("X"), QString(), QString("X"));
    }
    void columnNames()
    {
        auto [caption, unit] = fetch<QString, QString>("caption", "unit");
        QTEST(asciiColumnName(caption, unit), "expected");
    }

    // A download that straddles New Year, after a live reading in the same
    // table: the years, each row's source and time, and the chain's order
    // (the download begins before its first row, and ends counting the
    // meter's records alone). The logger writes the same readings out.
    void downloadAcrossNewYear()
    {
        QTemporaryDir dir;
        const QDateTime jan2(QDate(2027, 1, 2), QTime(10, 0));
        qint64 id = 0;
        {
            Bench b;
            Recorder rec(b.core, dir.path());
            rec.now = [jan2] { return jan2; };
            b.core.cmdClear_Click();
            b.feed(runReading(1));
            b.feed(stored(12, 31, 23, 59, 58) + stored(1, 1, 0, 0, 1) + stored(2, 29, 12, 0, 0) + stored(1, 2, 10, 5, 0));
            b.feed("<E>");
            rec.flush();
            id = rec.current().id;
            QVERIFY(id > 0);
            QStringList chain;
            QList<QJsonObject> rows;
            rec.store().forEachEntry(id, QString(), [&](const hashchain::Entry &e) {
                const QJsonObject body = QJsonDocument::fromJson(e.body).object();
                if (e.kind == QLatin1String("row"))
                    rows << body;
                if (!rows.isEmpty())
                    chain << label(body, e.kind);
                return true;
            });
            QCOMPARE(chain, (QStringList{"row live", "download_began", "row memory", "row memory", "row memory",
                                         "row memory", "download_ended 4"}));
            const QList<QDateTime> times{jan2,
                                         {QDate(2026, 12, 31), QTime(23, 59, 58)},
                                         {QDate(2027, 1, 1), QTime(0, 0, 1)},
                                         {QDate(2024, 2, 29), QTime(12, 0)},
                                         {QDate(2027, 1, 2), QTime(10, 5)}};
            for (int i = 0; i < rows.size(); ++i) {
                const QString t = rows[i]["time"].toString();
                QVERIFY2(QRegularExpression(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}([+-]\d\d:\d\d|Z)$)").match(t).hasMatch(),
                         qPrintable(t));
                QCOMPARE(QDateTime::fromString(t, Qt::ISODateWithMs).toLocalTime(), times[i]);
                QCOMPARE(rows[i]["received"].toString(), meterclock::isoWithOffset(jan2));
            }
            QCOMPARE(std::as_const(rows)[1]["value"]["shown"].toString(), QStringLiteral("7.00"));
        }
        QProcess log;
        const QString out = dir.filePath("run.jsonl");
        log.start(QStringLiteral(TQ800_LOG),
                  {"--journal", dir.path(), "--recording", QString::number(id), "--export", out});
        QVERIFY(log.waitForFinished(30000));
        QCOMPARE(log.exitCode(), 0);
        const QList<QJsonObject> lines = jsonLines(out);
        QCOMPARE(lines.size(), 5);
        QStringList sources;
        for (const QJsonObject &r : lines)
            sources << r["source"].toString() + u' ' + r["time"].toString().left(4);
        QCOMPARE(sources, (QStringList{"live 2027", "memory 2026", "memory 2027", "memory 2024", "memory 2027"}));
        QCOMPARE(lines[1]["recording"].toInteger(), id);
    }

    // A conductivity log that changes ranges, exported from the window as
    // JSON Lines and as one reading a row, from the store and (without one)
    // from the table: one unit per quantity, numbers pandas reads as such.
    void unitsAcrossRanges_data()
    {
        columns<bool>("store");
        dataRow("rows from the store", true);
        dataRow("no store: from the table", false);
    }
    void unitsAcrossRanges()
    {
        auto [withStore] = fetch<bool>("store");
        QTemporaryDir dir;
        Bench b;
        std::optional<Recorder> rec;
        if (withStore)
            rec.emplace(b.core, dir.filePath("store"));
        logConductivity(b);
        QStringList shown;
        for (int r = 1; r <= kConductivities.size(); ++r)
            shown << b.cell(r, 3) + u' ' + b.cell(r, 4) + u' ' + b.cell(r, 5);
        // The table keeps the meter's units.
        QVERIFY2(shown.join(u'|').contains("mS/cm") && shown.join(u'|').contains("uS/cm")
                     && shown.join(u'|').contains("g/L") && shown.join(u'|').contains("mg/L")
                     && shown.join(u'|').contains("KR.cm") && shown.join(u'|').contains(" R.cm"),
                 qPrintable(shown.join(u'|')));

        const QString jsonl = dir.filePath("run.jsonl"), csv = dir.filePath("run.csv");
        bool cancelled = false;
        QCOMPARE(b.core.writeExport(jsonl, false, {}, cancelled), QString());
        QList<QJsonObject> lines = jsonLines(jsonl);
        QCOMPARE(lines.size(), kConductivities.size());
        QSet<QString> units;
        for (int i = 0; i < lines.size(); ++i) {
            const QJsonObject &r = lines[i];
            units << r["value"]["unit"].toString() + u' ' + r["derived"][0]["unit"].toString() + u' '
                    + r["derived"][1]["unit"].toString() + u' ' + r["temperature"]["unit"].toString();
            QCOMPARE(r["value"]["number"].toDouble(), kConductivities[i]);
            QCOMPARE(r["value"]["shown"].toString(), b.cell(i + 1, 3));
            QCOMPARE(r["source"].isNull() ? QStringLiteral("null") : r["source"].toString(),
                     withStore ? QStringLiteral("live") : QStringLiteral("null"));
            QCOMPARE(r["received"].isString(), withStore);
            QCOMPARE(r["recording"].isDouble(), withStore);
            QVERIFY(r["time"].isString());
        }
        QCOMPARE(units, QSet<QString>{"µS/cm Ω·cm mg/L °C"});
        // Written as the other exports are: nothing where it cannot be.
        QVERIFY(b.core.writeExport(dir.filePath("gone/run.jsonl"), false, {}, cancelled).contains("does not exist"));

        // From the dialog: the type "one reading a row", then a new log.
        b.prompts.saveAs = csv;
        b.prompts.saveFilter = kTidyCsvEntry;
        b.core.cmdExport_Click();
        QVERIFY2(b.prompts.boxes.isEmpty(), qPrintable(b.prompts.boxes.value(0).text));
        QCOMPARE(b.core.m.GridRow, 1);
        const QList<QByteArray> lines2 = readFile(csv).split('\n');
        QVERIFY2(lines2[0].startsWith("recording,seq,row,time,received,source,mode,COND_uS_cm,RES_ohm_cm,TDS_mg_L,SAL_ppt,"
                                      "Temp_degC,compensation,settings_seq"),
                 lines2[0].constData());
        if (!havePandas())
            QSKIP("python3-pandas is not installed (script/bootstrap installs it)");
        const QJsonObject read = pandas(csv);
        const QStringList numeric = read["numeric"].toVariant().toStringList();
        for (const char *column : {"row", "COND_uS_cm", "RES_ohm_cm", "TDS_mg_L", "SAL_ppt", "Temp_degC"})
            QVERIFY2(numeric.contains(column), qPrintable(numeric.join(u' ')));
        QVERIFY2(!read["tz"].isNull(), "the times are not read as times with a zone");
        QCOMPARE(read["cond"].toVariant().toList(), QVariantList({1413.0, 2500.0, 150.0, 1413.0}));
    }

    // Cancelled at a progress report, for either kind: no file, no scratch
    // file, and the readings were not all read.
    void cancelLeavesNothing_data()
    {
        columns<QString, bool>("name", "tidy");
        dataRow("JSON Lines", QString("run.jsonl"), false);
        dataRow("one reading a row", QString("run.csv"), true);
    }
    void cancelLeavesNothing()
    {
        auto [name, tidy] = fetch<QString, bool>("name", "tidy");
        QTemporaryDir dir;
        ReadingSource source;
        source.rows = 10000;
        int read = 0;
        source.forEach = [&](const ReadingSource::Take &take) {
            for (int i = 1; i <= source.rows && take({{"row", i}, {"value", QJsonObject{{"name", "pH"}, {"number", 7.0}, {"unit", "pH"}}}}); ++i)
                ++read;
            return QString();
        };
        source.progress = [](int done, int) { return done < 4096; };
        QCOMPARE(exportReadings(dir.filePath(name), tidy ? ReadingFormat::TidyCsv : ReadingFormat::JsonLines, source),
                 QStringLiteral("cancelled"));
        QCOMPARE(entries(dir.path()), QStringList{});
        QVERIFY(read < source.rows);
    }
};

QTEST_MAIN(Readings)
#include "tst_readings.moc"
