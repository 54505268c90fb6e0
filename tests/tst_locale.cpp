// Numbers that leave the program read the same in every language. The
// logger against the simulator, once under a German locale (decimal comma)
// and once under C: every output carries the same numbers, byte for byte.
// And in this process under the German locale: the text rules and the
// workbook writer.
#include "support/DataTable.h"
#include "support/Files.h"
#include "support/OwnHome.h"
#include "table/ExportWriters.h"
#include "text/LeadingNumber.h"
#include "text/NumberFormat.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <clocale>
#include <cstdio>
#include <iterator>

namespace {

const char kGerman[] = "de_DE.UTF-8";

QByteArray output(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return p.readAllStandardOutput();
}

QByteArray sheetXml(const QString &workbook)
{
    return output(QStringLiteral("/usr/bin/python3"),
                  {QStringLiteral("-c"),
                   QStringLiteral("import sys, zipfile; "
                                  "sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read('xl/worksheets/sheet1.xml'))"),
                   workbook});
}

// What each output says in numbers, one item a line. Times of day differ
// from run to run (they are the clock's), so they and what hangs on them
// (a point's x) are left out.

// The workbook's number cells: reference, format and value as written.
QByteArray workbookNumbers(const QString &dir)
{
    static const QRegularExpression cell(QStringLiteral(R"(<c r="[A-Z]+\d+"(?: s="\d+")?><v>[^<]*</v></c>)"));
    QByteArrayList cells;
    const QString xml = QString::fromUtf8(sheetXml(dir + QStringLiteral("/out.xlsx")));
    for (const auto &m : cell.globalMatch(xml))
        cells << m.captured().toUtf8();
    return cells.join('\n');
}

// The CSV log without its Date and Time columns.
QByteArray csvNumbers(const QString &dir)
{
    QByteArrayList lines;
    for (const QByteArray &line : readFile(dir + QStringLiteral("/log.csv")).split('\n')) {
        QByteArrayList fields = line.split(',');
        if (fields.size() > 3)
            fields.remove(1, 2);
        lines << fields.join(',');
    }
    return lines.join('\n');
}

// Every event's chart: the scales, the y axis and each drawn segment's y.
QByteArray jsonChart(const QString &dir)
{
    QByteArrayList lines;
    for (const QByteArray &line : readFile(dir + QStringLiteral("/events.jsonl")).split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.isEmpty())
            continue;
        QJsonArray ys;
        for (const QJsonValue &segment : o[QLatin1String("drawn")].toArray())
            ys << segment[1] << segment[3] << segment[4];
        const QJsonArray item{o[QLatin1String("value_scale")], o[QLatin1String("temp_scale")],
                              o[QLatin1String("axes")][QLatin1String("lblY")], ys};
        lines << QJsonDocument(item).toJson(QJsonDocument::Compact);
    }
    return lines.join('\n');
}

// The SVG chart without its time labels and with each trace point's y only.
QByteArray svgChart(const QString &dir)
{
    static const QRegularExpression timeLabel(QStringLiteral(R"(<text [^>]*>\d+:\d\d(:\d\d)?</text>)"));
    static const QRegularExpression pointX(QStringLiteral("([\" ])[-\\d.e+]+,"));
    QByteArrayList lines;
    for (const QByteArray &line : readFile(dir + QStringLiteral("/chart.svg")).split('\n')) {
        QString text = QString::fromUtf8(line);
        if (timeLabel.match(text).hasMatch())
            continue;
        if (text.startsWith(QLatin1String("<polyline")))
            text.replace(pointX, QStringLiteral("\\1"));
        lines << text.toUtf8();
    }
    return lines.join('\n');
}

// The report's statistics, as pdftotext reads them, a blank between cells
// (the fonts of a language may differ a little in width).
QByteArray reportStatistics(const QString &dir)
{
    const QByteArray text = output(QStringLiteral("pdftotext"), {QStringLiteral("-layout"),
                                                                 dir + QStringLiteral("/report.pdf"), QStringLiteral("-")});
    const qsizetype from = text.indexOf("Statistics");
    const qsizetype to = text.indexOf("The standard deviation", from);
    QByteArrayList lines;
    for (const QByteArray &line : text.mid(from, from < 0 || to < 0 ? 0 : to - from).split('\n'))
        lines << line.simplified();
    return lines.join('\n').trimmed();
}

struct Output
{
    const char *name;
    QByteArray (*numbers)(const QString &dir);
};

const Output kOutputs[] = {
    {"workbook", workbookNumbers},       {"CSV log", csvNumbers},
    {"JSON chart", jsonChart},           {"SVG chart", svgChart},
    {"report statistics", reportStatistics},
};

// The C library in the German locale for as long as it lives (this thread
// and all others: the whole process, as a user's session would have it).
class German
{
public:
    explicit German(const QString &locales)
        : saved_(std::setlocale(LC_ALL, nullptr))
    {
        qputenv("LOCPATH", QFile::encodeName(locales));
        const bool set = std::setlocale(LC_ALL, kGerman) != nullptr;
        char half[8];
        std::snprintf(half, sizeof half, "%.1f", 0.5);
        active_ = set && qstrcmp(half, "0,5") == 0;
    }
    ~German()
    {
        // Without LOCPATH first: a locale such as C.UTF-8 is only found
        // where the system keeps its own.
        qunsetenv("LOCPATH");
        std::setlocale(LC_ALL, saved_.constData());
    }
    bool active() const { return active_; }

private:
    QByteArray saved_;
    bool active_ = false;
};

} // namespace

class Locale : public QObject
{
    Q_OBJECT
public:
    static void initMain() { useOwnHome(); }

private:
    QTemporaryDir scratch_;
    QMap<QString, QString> runs_;   // family -> why its runs failed, empty when they did not

    QString locales() const { return scratch_.filePath(QStringLiteral("locales")); }
    QString runDir(const QString &family, bool german) const
    {
        return scratch_.filePath(family + (german ? QStringLiteral("-de") : QStringLiteral("-C")));
    }

    // The environment of a user in Germany, or of one in the C locale.
    QProcessEnvironment environment(bool german) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &key : env.keys())
            if (key == QLatin1String("LANG") || key == QLatin1String("LANGUAGE") || key.startsWith(QLatin1String("LC_"))
                || key == QLatin1String("LOCPATH"))
                env.remove(key);
        env.insert(QStringLiteral("LC_ALL"), german ? QString::fromLatin1(kGerman) : QStringLiteral("C.UTF-8"));
        if (german)
            env.insert(QStringLiteral("LOCPATH"), locales());
        return env;
    }

    // The logger's run of six readings in each locale, side by side, with
    // everything it writes at its end; then its stored recording as a
    // workbook. Empty when all went well, else what did not.
    QString runBoth(const QString &family)
    {
        if (runs_.contains(family))
            return runs_[family];
        QString &why = runs_[family];
        struct Run
        {
            QString dir;
            QProcessEnvironment env;
            QProcess meter, log;
            ~Run()
            {
                for (QProcess *p : {&log, &meter}) {
                    p->kill();
                    p->waitForFinished();
                }
            }
        } runs[2];
        for (bool german : {false, true}) {
            Run &r = runs[german];
            r.dir = runDir(family, german);
            r.env = environment(german);
            QDir().mkpath(r.dir);
            r.meter.start(QStringLiteral(TQ800_SIM), {QStringLiteral("--family"), family, QStringLiteral("--unpaced"),
                                                      QStringLiteral("--quiet"), QStringLiteral("--seed"), QStringLiteral("7"),
                                                      QStringLiteral("--link"), r.dir + QStringLiteral("/meter")});
        }
        for (Run &r : runs) {
            if (!QTest::qWaitFor([&] { return QFileInfo(r.dir + QStringLiteral("/meter")).isSymLink(); }, 10000))
                return why = QStringLiteral("the simulator made no device in %1").arg(r.dir);
            r.log.setProcessEnvironment(r.env);
            r.log.setStandardOutputFile(r.dir + QStringLiteral("/events.jsonl"));
            r.log.start(QStringLiteral(TQ800_LOG),
                        {QStringLiteral("--port"), r.dir + QStringLiteral("/meter"), QStringLiteral("--count"),
                         QStringLiteral("6"), QStringLiteral("--json"), QStringLiteral("--csv"),
                         r.dir + QStringLiteral("/log.csv"), QStringLiteral("--chart"), r.dir + QStringLiteral("/chart.svg"),
                         QStringLiteral("--report"), r.dir + QStringLiteral("/report.pdf"), QStringLiteral("--journal"),
                         r.dir + QStringLiteral("/store")});
        }
        for (Run &r : runs) {
            QProcess exported;
            exported.setProcessEnvironment(r.env);
            if (r.log.waitForFinished(60000) && r.log.exitStatus() == QProcess::NormalExit && r.log.exitCode() == 0) {
                exported.start(QStringLiteral(TQ800_LOG),
                               {QStringLiteral("--journal"), r.dir + QStringLiteral("/store"), QStringLiteral("--recording"),
                                QStringLiteral("1"), QStringLiteral("--export"), r.dir + QStringLiteral("/out.xlsx")});
                // Six readings, each a row of the log, under its header.
                if (exported.waitForFinished(60000) && exported.exitCode() == 0
                    && readFile(r.dir + QStringLiteral("/log.csv")).count("\r\n") == 7)
                    continue;
            }
            return why = QStringLiteral("tq800-log in %1: %2%3")
                             .arg(r.dir, QString::fromLocal8Bit(r.log.readAllStandardError()),
                                  QString::fromLocal8Bit(exported.readAllStandardError()));
        }
        return why;
    }

private slots:
    void initTestCase()
    {
        const QString localedef = QStandardPaths::findExecutable(QStringLiteral("localedef"));
        if (localedef.isEmpty())
            QSKIP("localedef (Debian's libc-bin) is not installed: no decimal-comma locale can be made to test under");
        // Made here, without root, into a folder of the test's own.
        QVERIFY(QDir().mkpath(locales()));
        QProcess def;
        def.start(localedef, {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"), QStringLiteral("UTF-8"),
                              locales() + QLatin1Char('/') + QLatin1String(kGerman)});
        QVERIFY(def.waitForFinished(180000));
        QVERIFY2(def.exitCode() == 0,
                 qPrintable(QStringLiteral("localedef could not make %1 (script/bootstrap installs the package locales): %2")
                                .arg(QLatin1String(kGerman), QString::fromLocal8Bit(def.readAllStandardError()))));
        // The children really get it.
        for (bool german : {false, true}) {
            QProcess locale;
            locale.setProcessEnvironment(environment(german));
            locale.start(QStringLiteral("locale"), {QStringLiteral("-k"), QStringLiteral("decimal_point")});
            QVERIFY(locale.waitForFinished());
            QCOMPARE(locale.readAllStandardOutput().trimmed(),
                     german ? QByteArray("decimal_point=\",\"") : QByteArray("decimal_point=\".\""));
        }
    }

    void sameNumbersInEveryLanguage_data()
    {
        columns<QString, int>("family", "output");
        for (const char *family : {"ph", "do"})
            for (int k = 0; k < int(std::size(kOutputs)); ++k)
                QTest::addRow("%s %s", family, kOutputs[k].name) << QString::fromLatin1(family) << k;
    }
    void sameNumbersInEveryLanguage()
    {
        auto [family, k] = fetch<QString, int>("family", "output");
        const QString why = runBoth(family);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        const QByteArray c = kOutputs[k].numbers(runDir(family, false));
        QVERIFY2(c.count('\n') >= 3, c.constData());   // something to compare
        QCOMPARE(kOutputs[k].numbers(runDir(family, true)), c);
    }

    // The rules the chart, the report and the calculator read cells with,
    // and write numbers with, in a process whose C library speaks German.
    void textRulesUnderDecimalComma_data()
    {
        columns<QString, QString, QString>("cell", "pattern", "written");
        QTest::newRow("pH") << "7.013" << "#0.00" << "7.01";
        QTest::newRow("DO with its unit") << "8.26 mg/L" << "#0.00" << "8.26";
        QTest::newRow("half away from zero") << " -2.675" << "#0.00" << "-2.68";
        QTest::newRow("exponent") << "1.55E-04 mol/L" << "0.00E+00" << "1.55E-04";
        QTest::newRow("a comma ends the number") << "7,01" << "#0.00" << "7.00";
    }
    void textRulesUnderDecimalComma()
    {
        auto [cell, pattern] = fetch<QString, QString>("cell", "pattern");
        const German german(locales());
        QVERIFY(german.active());
        QTEST(Format(Val(cell), pattern), "written");
    }

    // The workbook library prints with the C library; what it writes is
    // right even where nobody set the numbers to C for the whole process.
    void workbookUnderDecimalComma()
    {
        const German german(locales());
        QVERIFY(german.active());
        ExportSource source;
        source.rows = 2;
        source.read = [](int row, ExportSource::Row &cells) {
            const QStringList texts = QString::fromUtf8(row == 0 ? "sn|Date|Time|pH|Temp|||" : "1|3-07|9:05:01|7.286|25.0°C|||")
                                          .split(u'|');
            std::copy(texts.begin(), texts.end(), cells.begin());
        };
        const QString file = scratch_.filePath(QStringLiteral("here.xlsx"));
        QCOMPARE(exportTable(file, source), QString());
        const QByteArray xml = sheetXml(file);
        QVERIFY2(xml.contains("<v>7.286</v>"), xml.constData());
    }
};

QTEST_GUILESS_MAIN(Locale)
#include "tst_locale.moc"
