// Export: the proposed name, the files read back by readers this project did
// not write (xlrd, Gnumeric's ssconvert, LibreOffice, Python's csv) with a
// structural check of the .xls, which texts go in as numbers, and what a
// cancel, a failure or a long export leaves.
#include "chart/ChartPainter.h"
#include "shell/ExportName.h"
#include "support/DataTable.h"
#include "support/Files.h"
#include "support/LoggedSession.h"
#include "support/OwnHome.h"
#include "support/Readings.h"
#include "table/ExportWriters.h"
#include "table/FlexGrid.h"
#include "table/NumericCell.h"

#include <QJsonArray>
#include <QProcess>

#include <csignal>
#include <sys/resource.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A connected pH table with `n` readings.
void fill(Bench &b, int n)
{
    b.core.cmdClear_Click();
    for (int i = 0; i < n; ++i)
        b.feed(runReading(i));
}

// Texts beside three readings (in the pH layout's unnamed columns) that a
// spreadsheet must hold as these numbers; the other texts stay texts.
const QHash<QString, double> kEdgeNumbers{{"1.06E-03", 0.00106}, {"-12.5", -12.5}, {"-0.0", 0.0}};
void putEdgeCells(Bench &b)
{
    const std::array<std::tuple<int, int, QString>, 6> cells{
        {{1, 5, "1.06E-03"}, {1, 7, "+7.00"}, {2, 6, "-12.5"}, {2, 7, "05"}, {3, 5, "-0.0"}, {3, 6, "----"}}};
    for (const auto &[row, col, text] : cells)
        b.core.MSFlexGrid1->setTextMatrix(row, col, text);
}

// What a sheet holding table rows [first, last] reads: the header, then
// those rows. `values`: as a reader of the cells' contents sees it, the
// readings' numbers ("sn" and "pH") and kEdgeNumbers as numbers.
QJsonValue sheet(const Bench &b, int first, int last, bool values = false)
{
    const auto row = [&](int r) {
        QJsonArray cells;
        for (int c = 0; c < 8; ++c) {
            const QString text = b.cell(r, c);
            if (values && r > 0 && (c == 0 || c == 3))
                cells << text.toDouble();
            else if (values && r > 0 && kEdgeNumbers.contains(text))
                cells << kEdgeNumbers[text];
            else
                cells << text;
        }
        return cells;
    };
    // Appended, not braced: one compiler reads QJsonArray{anArray} as a copy.
    QJsonArray rows;
    rows << row(0);
    for (int r = first; r <= last; ++r)
        rows << row(r);
    return rows;
}

// How a spreadsheet shows `value` under a number format that numericCell()
// gives: [\-]0[.0...][E+0...]; written here from the format's rules.
QString shown(double value, const QString &format)
{
    QString f = format;
    const bool literalMinus = f.startsWith(QLatin1String("\\-"));
    if (literalMinus)
        f.remove(0, 2);
    const QStringList parts = f.split(u'E');
    const qsizetype point = parts[0].indexOf(u'.');
    const int places = point < 0 ? 0 : int(parts[0].size() - point - 1);
    QString text;
    if (parts.size() == 1) {
        text = QString::number(value, 'f', places);
    } else {
        // Mantissa from 1 to 9.99..., then the exponent signed and padded.
        const QStringList e = QString::number(value, 'e', places).split(u'e');
        const int exponent = e[1].toInt();
        text = e[0] + (exponent < 0 ? "E-" : "E+")
            + QString::number(std::abs(exponent)).rightJustified(int(parts[1].size() - 1), u'0');
    }
    return (literalMinus ? "-" : "") + text;
}

QByteArray json(const QJsonValue &v)
{
    return QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
}

// Debian's python reads a file back: a .csv with its csv module; a workbook
// with xlrd (texts and numbers) and with Gnumeric's ssconvert (the cells as
// shown; it says what it finds wrong on stderr), each sheet as rows of
// eight cells without trailing empty rows; and checks an .xls by hand:
// through the allocation table (and the DIFAT sectors, if any) to the
// Workbook stream, in which every record is
// at most 8,224 bytes, every pointer lands on a record of its kind (a sheet
// offset on a sheet's BOF, an INDEX entry on a DBCELL, a DBCELL back on a
// ROW, an EXTSST bucket on the string record it names), and the string
// table counts as many uses as there are text cells.
const char kReader[] = R"(
import csv, glob, io, json, struct, subprocess, sys, tempfile
u16 = lambda b, at: struct.unpack_from('<H', b, at)[0]
u32 = lambda b, at: struct.unpack_from('<I', b, at)[0]
def table(rows):
    rows = [list(r) + [''] * (8 - len(r)) for r in rows]
    while rows and all(c == '' for c in rows[-1]): rows.pop()
    return rows
def structure(f):
    sector = lambda s: f[512 + 512 * s:1024 + 512 * s]
    if len(f) < 1536 or len(f) % 512 or u16(f, 30) != 9: return 'not a compound file of 512-byte sectors', 0
    count, difat, d = u32(f, 44), 0, u32(f, 68)
    fats = [u32(f, 76 + 4 * i) for i in range(109)][:count]
    while d < 0xFFFFFFFA and difat <= count:
        fats += [u32(sector(d), 4 * i) for i in range(127)][:count - len(fats)]
        d, difat = u32(sector(d), 508), difat + 1
    if difat != u32(f, 72): return 'DIFAT chain of %d sectors, header says %d' % (difat, u32(f, 72)), difat
    fat = b''.join(map(sector, fats))
    if any(u32(fat, 4 * s) != 0xFFFFFFFD for s in fats): return 'a FAT sector is not marked as one', difat
    def chain(s):
        parts = []
        while s < 0xFFFFFFFA and len(parts) < len(fat) // 4: parts.append(sector(s)); s = u32(fat, 4 * s)
        return b''.join(parts)
    dirs = chain(u32(f, 48))
    e = next((e for e in range(0, len(dirs), 128) if dirs[e:e + 16] == 'Workbook'.encode('utf-16-le')), -1)
    if e < 0: return 'no Workbook stream', difat
    if u32(dirs, e + 120) < 4096: return 'a stream under 4096 bytes and no mini stream', difat
    w = chain(u32(dirs, e + 116))[:u32(dirs, e + 120)]
    kind, pointers, sst, labels, sheets, at = {}, [], None, 0, 0, 0
    while at + 4 <= len(w) and w[at:at + 4] != bytes(4):
        rid, n, x = u16(w, at), u16(w, at + 2), at + 4
        if n > 8224 or x + n > len(w): return 'record 0x%x at %d is %d bytes' % (rid, at, n), difat
        kind[at] = rid | (u16(w, x + 2) << 16 if rid == 0x809 else 0)
        if rid == 0x85: pointers.append(('sheet offset', u32(w, x), (0x100809,))); sheets += 1
        if rid == 0x20B: pointers += [('INDEX entry', u32(w, x + i), (0xD7,)) for i in range(16, n, 4)]
        if rid == 0xD7: pointers.append(('DBCELL', at - u32(w, x), (0x208,)))
        if rid == 0xFF: pointers += [('EXTSST bucket', u32(w, x + i) - u16(w, x + i + 4), (0xFC, 0x3C)) for i in range(2, n - 7, 8)]
        if rid == 0xFC: sst = u32(w, x)
        labels += rid == 0xFD
        at = x + n
    for what, to, kinds in pointers:
        if kind.get(to) not in kinds: return '%s at %d points at no record of its kind' % (what, to), difat
    return '' if sheets and sst == labels else '%d sheets, SST counts %s uses, %d text cells' % (sheets, sst, labels), difat
p, out = sys.argv[1], {}
if p.endswith('.csv'):
    out['csv'] = [table(csv.reader(open(p, encoding='utf-8-sig', newline='')))]
else:
    import xlrd
    b = xlrd.open_workbook(p)
    cell = lambda c: c.value if c.ctype in (1, 2) else ('' if c.ctype == 0 else '#type')
    out['names'] = b.sheet_names()
    out['xlrd'] = [table([cell(c) for c in s.row(r)] for r in range(s.nrows)) for s in b.sheets()]
    with tempfile.TemporaryDirectory() as d:
        run = subprocess.run(['ssconvert', '-S', '-T', 'Gnumeric_stf:stf_assistant', '-O', 'format=preserve', p,
                              d + '/%n.csv'], capture_output=True)
        out['complaints'] = run.stderr.decode()
        # Gnumeric shows a minus sign as the typographic one.
        shown = lambda f: f.read().replace('\u2212', '-')
        out['gnumeric'] = [table(csv.reader(io.StringIO(shown(open('%s/%d.csv' % (d, n), encoding='utf-8', newline='')))))
                           for n in range(len(glob.glob(d + '/*.csv')))]
    if not p.endswith('.xlsx'): out['structure'], out['difat'] = structure(open(p, 'rb').read())
print(json.dumps(out))
)";

QJsonObject runPython(const char *script, const QStringList &paths)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral("-c"), QString::fromLatin1(script)} + paths);
    if (!p.waitForFinished(280000) || p.exitCode() != 0)
        qWarning() << p.readAllStandardError();
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

// Whether `path` (a link not followed) is of `type` (S_IFCHR, S_IFIFO...).
bool isA(const QString &path, mode_t type)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && (st.st_mode & S_IFMT) == type;
}

QJsonObject readBack(const QString &path)
{
    return runPython(kReader, {path});
}

// LibreOffice reads workbooks: a Basic macro (in a fresh profile, seeded so
// that the first start neither overwrites it nor runs its half-minute
// graphics self-test) opens each file, adds =SUM(D:D) and =COUNT(A:H) on
// the first sheet beside the table, and saves it as CSV with the cells as
// shown; one start for all the files. Prints per file the two results and
// the table's eight columns. (The XML's attributes are in single quotes:
// moc reads into this text, and a "//" after a double quote makes it lose
// the test class.)
const char kLibreOffice[] = R"py(
import csv, json, os, subprocess, sys, tempfile
from xml.sax.saxutils import escape
basic = '''
Sub Check(sFiles As String)
  Dim hidden(0) As New com.sun.star.beans.PropertyValue
  hidden(0).Name = "Hidden" : hidden(0).Value = True
  Dim store(1) As New com.sun.star.beans.PropertyValue
  store(0).Name = "FilterName" : store(0).Value = "Text - txt - csv (StarCalc)"
  store(1).Name = "FilterOptions" : store(1).Value = "44,34,76,1"
  For Each f In Split(sFiles, "|")
    doc = StarDesktop.loadComponentFromURL(ConvertToURL(f), "_blank", 0, hidden())
    sheet = doc.Sheets.getByIndex(0)
    sheet.getCellByPosition(8, 0).setFormula("=SUM(D:D)")
    sheet.getCellByPosition(9, 0).setFormula("=COUNT(A:H)")
    doc.calculateAll()
    doc.storeToURL(ConvertToURL(f & ".csv"), store())
    doc.close(True)
  Next
  StarDesktop.terminate()
End Sub
'''
xlc = "<library:libraries xmlns:library='http://openoffice.org/2000/library' xmlns:xlink='http://www.w3.org/1999/xlink'><library:library library:name='Standard' xlink:href='$(USER)/basic/Standard/%s.xlb/' xlink:type='simple' library:link='false'/></library:libraries>"
lib = "xmlns:library='http://openoffice.org/2000/library' library:name='Standard' library:readonly='false' library:passwordprotected='false'"
setup = "<item oor:path='/org.openoffice.Setup/%s'><prop oor:name='%s' oor:op='fuse'><value>%s</value></prop></item>"
profile = {
    "registrymodifications.xcu": "<oor:items xmlns:oor='http://openoffice.org/2001/registry'>%s%s</oor:items>"
        % (setup % ("Office", "ooSetupInstCompleted", "true"), setup % ("Product", "ooSetupLastVersion", "99.9")),
    "basic/script.xlc": xlc % "script",
    "basic/dialog.xlc": xlc % "dialog",
    "basic/Standard/script.xlb": "<library:library %s><library:element library:name='Module1'/></library:library>" % lib,
    "basic/Standard/dialog.xlb": "<library:library %s/>" % lib,
    "basic/Standard/Module1.xba": "<script:module xmlns:script='http://openoffice.org/2000/script' script:name='Module1' script:language='StarBasic'>%s</script:module>" % escape(basic),
}
out = {}
with tempfile.TemporaryDirectory() as d:
    os.makedirs(d + '/user/basic/Standard')
    for name, text in profile.items():
        open(d + '/user/' + name, 'w').write('<?xml version="1.0" encoding="UTF-8"?>\n' + text)
    subprocess.run(['soffice', '--headless', '-env:UserInstallation=file://' + d,
                    'macro:///Standard.Module1.Check("%s")' % '|'.join(sys.argv[1:])], capture_output=True, timeout=240)
for p in sys.argv[1:]:
    rows = list(csv.reader(open(p + '.csv', encoding='utf-8', newline='')))
    out[p] = {'sum': rows[0][8], 'count': rows[0][9], 'cells': [r[:8] for r in rows]}
print(json.dumps(out))
)py";

bool haveReaders()
{
    return !QStandardPaths::findExecutable("ssconvert").isEmpty()
        && QProcess::execute(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import xlrd")}) == 0;
}

} // namespace

class Export : public QObject
{
    Q_OBJECT
public:
    static void initMain() { useOwnHome(); }

private slots:
    void proposedName_data()
    {
        columns<QDateTime, bool, QString>("now", "driveD", "expected");
        const QDateTime march(QDate(2026, 3, 7), QTime(14, 5, 59));
        QTest::newRow("drive D") << march << true << "D:\\03071405.xls";
        QTest::newRow("documents") << march << false << QDir::toNativeSeparators("/home/lab/Documents/03071405.xls");
        QTest::newRow("midnight, new year") << QDateTime(QDate(2027, 1, 1), QTime(0, 0)) << true << "D:\\01010000.xls";
    }
    void proposedName()
    {
        auto [now, driveD] = fetch<QDateTime, bool>("now", "driveD");
        QTEST(proposedExportName(now, driveD, QStringLiteral("/home/lab/Documents")), "expected");
    }

    // The save dialog's filter: the written entries first and last, the
    // other kinds the export writes between; choosing one makes the name in
    // the dialog that kind.
    void dialogFilter_data()
    {
        columns<QString, QString, QString>("entry", "name", "expected");
        QTest::newRow("xlsx: the proposed name follows") << "EXCEL 2007(*.xlsx)" << "/d/03071405.xls" << "/d/03071405.xlsx";
        QTest::newRow("csv: a typed XLSX follows") << "CSV(*.csv)" << "/d/run.XLSX" << "/d/run.csv";
        QTest::newRow("xls: back again") << "EXCEL(*.xls)" << "/d/run.csv" << "/d/run.xls";
        QTest::newRow("any file: kept") << "All File(*.*)" << "/d/run.csv" << "/d/run.csv";
        QTest::newRow("another suffix: kept") << "CSV(*.csv)" << "/d/notes.txt" << "/d/notes.txt";
        QTest::newRow("no suffix: kept for the default suffix") << "CSV(*.csv)" << "/d/run" << "/d/run";
    }
    void dialogFilter()
    {
        auto [entry, name] = fetch<QString, QString>("entry", "name");
        QVERIFY(kExportFilter.split(u'|').contains(entry));
        QTEST(nameForFilter(name, filterSuffix(entry)), "expected");
    }

    // Which texts go into a workbook as numbers, and the round trip: the
    // value shown under its format is the text again.
    void textsThatAreNumbers_data()
    {
        // format: "" for a text that stays a text
        columns<QString, double, QString>("text", "value", "format");
        const auto text = [](const char *t) { QTest::newRow(t) << t << 0.0 << ""; };
        const auto number = [](const char *t, double v, const char *f) { QTest::newRow(t) << t << v << f; };
        number("7.00", 7, "0.00");
        number("-12.5", -12.5, "0.0");
        number("25", 25, "0");
        number("0", 0, "0");
        number("0.0", 0, "0.0");
        number("0.05", 0.05, "0.00");
        number("1.06E-03", 0.00106, "0.00E+00");
        number("-9.99E+12", -9.99e12, "0.00E+00");
        number("5E+5", 5e5, "0E+0");
        number("1.5E+100", 1.5e100, "0.0E+000");
        number("0.00E+00", 0, "0.00E+00");
        number("123456789012345", 123456789012345.0, "0");
        number("0.00000000000001", 1e-14, "0.00000000000000");
        // A negative zero keeps its sign as a literal of the format.
        number("-0.0", 0, "\\-0.0");
        number("-0", 0, "\\-0");
        number("-0.00E+00", 0, "\\-0.00E+00");
        for (const char *t : {"", "-", ".", "05", "007", "00.5", "-05", "+7.00", ".5", "7.", "-.5", " 7", "7 ", "7,00",
                              "1,5", "1e5", "1.0E5", "1.0e+05", "1.0E+", "E+05", "10.5E+02", "0.5E+01", "0.00E+05",
                              "1.0E-00", "1.0E+0001", "1.0E+400", "1.0E-310", "1234567890123456", "0.123456789012345",
                              "inf", "-inf", "nan", "NaN", "Infinity", "0x1A", "1_000", "12-05", "9:52:37", "----",
                              "25.0°C(ATC)", "7.00 mV", "7.00\n", "\u0667", "7\u00B700"})
            text(t);
    }
    void textsThatAreNumbers()
    {
        auto [text, value, format] = fetch<QString, double, QString>("text", "value", "format");
        const std::optional<NumericCell> cell = numericCell(text);
        QCOMPARE(cell ? cell->format : QString(), format);
        if (!cell)
            return;
        QCOMPARE(cell->value, value);
        QVERIFY(cell->value != 0 || !std::signbit(cell->value));   // never a negative zero
        QCOMPARE(shown(cell->value, cell->format), text);
    }

    // What a lab does with an export: LibreOffice reads both workbooks with
    // the texts shown as they were, the numbers counted as numbers, and the pH
    // column summing to the readings' sum.
    void spreadsheetSumsTheReadings()
    {
        if (QStandardPaths::findExecutable("soffice").isEmpty())
            QSKIP("LibreOffice (soffice) is not installed");
        Bench b;
        const int n = 100;
        fill(b, n);
        putEdgeCells(b);
        qint64 thousandths = 0;
        for (int r = 1; r <= n; ++r)
            thousandths += b.cell(r, 3).remove(u'.').toLongLong();
        const QJsonValue table = sheet(b, 1, n);
        QTemporaryDir dir;
        const QStringList files{dir.filePath("t.xls"), dir.filePath("t.xlsx")};
        for (const QString &f : files)
            QCOMPARE(exportTable(f, b.core.MSFlexGrid1->exportSource(b.core.m.GridRow)), QString());
        const QJsonObject read = runPython(kLibreOffice, files);
        for (const QString &f : files) {
            const QJsonObject book = read[f].toObject();
            QVERIFY2(json(book["cells"]) == json(table), qPrintable(f + ": " + json(book["cells"])));
            QCOMPARE(book["sum"].toString().toDouble(), double(thousandths) / 1000);
            QCOMPARE(book["count"].toString(), QString::number(2 * n + kEdgeNumbers.size()));
        }
    }

    // Three readings, one cell in 16-bit characters, one with CSV's special
    // characters and one too long for a string record (16-bit, with
    // surrogate pairs), written by the button and read back.
    void writtenTableReadsBack_data()
    {
        // head: how the file begins
        columns<QString, QByteArray>("name", "head");
        const QByteArray xls("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
        QTest::newRow("xls") << "t.xls" << xls;
        QTest::newRow("no suffix is xls") << "t" << xls;
        QTest::newRow("xlsx") << "t.xlsx" << QByteArray("PK\x03\x04");
        QTest::newRow("csv") << "t.csv" << QByteArray("\xEF\xBB\xBFsn,Date,Time,pH,Temp,,,\r\n1,1-01,0:00:00,");
    }
    void writtenTableReadsBack()
    {
        auto [name, head] = fetch<QString, QByteArray>("name", "head");
        if (!haveReaders())
            QSKIP("python3-xlrd or gnumeric is not installed");
        Bench b;
        fill(b, 3);
        putEdgeCells(b);
        b.core.MSFlexGrid1->setTextMatrix(2, 5, QStringLiteral("Ω 5 µS"));
        b.core.MSFlexGrid1->setTextMatrix(3, 7, QStringLiteral("say \"1,5\""));
        b.core.MSFlexGrid1->setTextMatrix(1, 6, QString(3000, QChar(0x03A9)) + QStringLiteral("😀").repeated(2500));
        const QJsonArray table{sheet(b, 1, 3)};
        const QJsonArray values{sheet(b, 1, 3, true)};
        QTemporaryDir dir;
        b.prompts.saveAs = dir.filePath(name);
        b.core.now = [] { return QDateTime(QDate(2026, 3, 7), QTime(14, 5)); };
        QSignalSpy exported(&b.core, &MainCore::exported);
        const quint64 clears = b.core.Picture4.mark().clears;
        b.core.cmdExport_Click();

        QCOMPARE(b.prompts.dialogs, QStringList{"Export Data|" + QDir::toNativeSeparators(documentsFolder() + "/03071405.xls")
                                                + "|EXCEL(*.xls)|EXCEL 2007(*.xlsx)|CSV(*.csv)|CSV, one reading a row(*.csv)"
                                                  "|JSON Lines(*.jsonl)|All File(*.*)"});
        QVERIFY2(b.prompts.boxes.isEmpty(), qPrintable(b.prompts.boxes.value(0).text));
        QCOMPARE(b.prompts.opened, QStringList{b.prompts.saveAs});
        QCOMPARE(exported.size(), 1);
        QCOMPARE(exported[0][1].toInt(), 3);
        QCOMPARE(entries(dir.path()), QStringList{name});   // no scratch file left
        // A new recording: empty table, blank chart, polling.
        QVERIFY(b.core.m.GridRow == 1 && b.cell(1, 0).isEmpty());
        QVERIFY(b.core.Picture4.mark().clears > clears && b.core.Picture4.mark().segments == 0);
        QVERIFY(b.core.Timer2.isActive() && b.core.m.PollingOn);

        QVERIFY(readFile(b.prompts.saveAs).startsWith(head));
        const QJsonObject read = readBack(b.prompts.saveAs);
        const bool csv = name.endsWith(QLatin1String(".csv"));
        QCOMPARE(json(read[csv ? "csv" : "xlrd"]), json(csv ? table : values));
        if (csv) {
            // The header and the three readings: no empty row below them.
            QCOMPARE(readFile(b.prompts.saveAs).count("\r\n"), 4);
            return;
        }
        QCOMPARE(json(read["names"]), json(QJsonArray{"Sheet1"}));
        QCOMPARE(json(read["gnumeric"]), json(table));
        QCOMPARE(read["complaints"].toString(), QString());
        QCOMPARE(read["structure"].toString(), QString());   // none for .xlsx
    }

    // 70,000 rows: two sheets with the header on each and every row once, a
    // container large enough for DIFAT sectors, a progress dialog, and a
    // reading that arrives while the file is written lands in the new table.
    void longTableMakesSheetsAndHoldsTheReceiveTick()
    {
        if (!haveReaders())
            QSKIP("python3-xlrd or gnumeric is not installed");
        Bench b;
        const int n = 70000;
        fill(b, n);
        const QJsonArray sheets{sheet(b, 1, 65535), sheet(b, 65536, n)};
        const QJsonArray values{sheet(b, 1, 65535, true), sheet(b, 65536, n, true)};
        QTemporaryDir dir;
        b.prompts.saveAs = dir.filePath("long.xls");
        b.prompts.duringProgress = [&] {
            if (b.prompts.progress.size() == 1)
                b.feed(runReading(n));   // a receive tick while the progress dialog runs
        };
        b.core.cmdExport_Click();
        QVERIFY2(b.prompts.boxes.isEmpty(), qPrintable(b.prompts.boxes.value(0).text));
        QVERIFY(b.prompts.progress.size() > 2);
        QCOMPARE(b.prompts.progress.last(), -1);
        QCOMPARE(b.core.m.GridRow, 1);
        b.core.Timer1_Timer();
        QCOMPARE(b.cell(1, 0), QStringLiteral("1"));

        const QJsonObject read = readBack(b.prompts.saveAs);
        QCOMPARE(read["structure"].toString(), QString());
        QVERIFY(read["difat"].toInt() > 0);
        QCOMPARE(json(read["names"]), json(QJsonArray{"Sheet1", "Sheet2"}));
        QVERIFY(json(read["xlrd"]) == json(values));
        QVERIFY(json(read["gnumeric"]) == json(sheets));
        QCOMPARE(read["complaints"].toString(), QString());
    }

    // Whatever stops an export, the table, the chart and polling stay as
    // they were and no file is left; a failure is said once, naming the
    // file and the reason; a cancel is silent.
    void cancelOrFailureKeepsTheTable_data()
    {
        // name: in a fresh folder; "" cancels the save dialog
        // sizeLimit: bytes any file may grow to; 0 no limit
        // rows: in the table (more than 50,000 show progress)
        // cancelAt: Cancel pressed in the progress dialog at this report
        columns<QString, int, QString, int, int>("name", "sizeLimit", "reason", "rows", "cancelAt");
        QTest::newRow("cancel") << "" << 0 << "" << 300 << 0;
        for (const char *name : {"t.xls", "t.xlsx", "t.csv"}) {
            QTest::addRow("cancel writing %s at once", name) << name << 0 << "" << 50100 << 1;
            QTest::addRow("cancel writing %s later", name) << name << 0 << "" << 50100 << 9;
        }
        QTest::newRow("missing folder") << "gone/t.xls" << 0 << "the folder %1/gone does not exist" << 300 << 0;
        QTest::newRow("name of a folder") << "sub" << 0 << "a folder has that name" << 300 << 0;
        QTest::newRow("device") << "/dev/null" << 0 << "it is a device, not a file" << 300 << 0;
        QTest::newRow("FIFO") << "pipe.xls" << 0 << "it is a named pipe (FIFO), not a file" << 300 << 0;
        QTest::newRow("link to a FIFO") << "link.csv" << 0 << "it is a named pipe (FIFO), not a file" << 300 << 0;
        QTest::newRow("link to a device") << "null.xlsx" << 0 << "it is a device, not a file" << 300 << 0;
        QTest::newRow("unwritable folder") << "ro/t.xls" << 0 << "Permission denied" << 300 << 0;
        QTest::newRow("disk full, xls") << "t.xls" << 4096 << "File too large" << 300 << 0;
        QTest::newRow("disk full, xlsx") << "t.xlsx" << 4096 << "File too large" << 300 << 0;
        QTest::newRow("disk full, csv") << "t.csv" << 4096 << "File too large" << 300 << 0;
    }
    void cancelOrFailureKeepsTheTable()
    {
        auto [name, sizeLimit, reason, rows, cancelAt] =
            fetch<QString, int, QString, int, int>("name", "sizeLimit", "reason", "rows", "cancelAt");
        Bench b;
        fill(b, rows);
        const QString middle = b.cell(rows / 2, 3), last = b.cell(rows, 2);
        b.core.Timer2.stop();   // as after a download's end frame
        b.core.m.PollingOn = false;
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("sub") && QDir(dir.path()).mkdir("ro"));
        QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("pipe.xls")).constData(), 0600) == 0);
        QVERIFY(QFile::link("pipe.xls", dir.filePath("link.csv")));
        QVERIFY(QFile::link("/dev/null", dir.filePath("null.xlsx")));
        // Root writes anywhere but on a read-only file system: one of its
        // own in the scratch folder.
        const QString ro = dir.filePath("ro");
        QFile::setPermissions(ro, QFile::ReadOwner | QFile::ExeOwner);
        const bool readOnlyFs = geteuid() == 0 && name.startsWith("ro/");
        if (readOnlyFs) {
            QVERIFY(::mount("tmpfs", QFile::encodeName(ro).constData(), "tmpfs", MS_RDONLY, "size=64k") == 0);
            reason = QStringLiteral("Read-only file system");
        }
        auto unmount = qScopeGuard([&ro, readOnlyFs] {
            if (readOnlyFs)
                ::umount2(QFile::encodeName(ro).constData(), MNT_DETACH);
        });
        const QString file = name.isEmpty()         ? QString()
                             : name.startsWith("ro/") ? ro + "/t.xls"
                             : name.startsWith('/')   ? name
                                                      : dir.filePath(name);
        const QStringList before = entries(dir.path());
        const auto clears = b.core.Picture4.mark().clears;
        b.prompts.saveAs = file;
        b.prompts.cancelAt = cancelAt;
        // Past the limit every write into any file fails (EFBIG), as on a full disk.
        rlimit saved, tight;
        getrlimit(RLIMIT_FSIZE, &saved);
        tight = saved;
        tight.rlim_cur = sizeLimit ? rlim_t(sizeLimit) : saved.rlim_cur;
        std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &tight);
        b.core.cmdExport_Click();
        setrlimit(RLIMIT_FSIZE, &saved);
        QCOMPARE(b.prompts.dialogs.size(), 1);
        QCOMPARE(b.core.m.GridRow, rows + 1);
        QCOMPARE(b.cell(rows / 2, 3), middle);
        QCOMPARE(b.cell(rows, 2), last);
        QCOMPARE(b.core.Picture4.mark().clears, clears);
        if (cancelAt)
            QCOMPARE(b.prompts.progress.size(), cancelAt + 1);   // stopped there, then closed
        QVERIFY(!b.core.Timer2.isActive() && !b.core.m.PollingOn && b.prompts.opened.isEmpty());
        QCOMPARE(entries(dir.path()), before);
        QVERIFY(!QFile::exists(ro + "/t.xls"));
        // What is not a file stays what it was.
        QVERIFY(isA("/dev/null", S_IFCHR) && isA(dir.filePath("pipe.xls"), S_IFIFO)
                && QFileInfo(dir.filePath("link.csv")).isSymLink() && QFileInfo(dir.filePath("null.xlsx")).isSymLink());
        QCOMPARE(b.prompts.boxes.size(), reason.isEmpty() ? 0 : 1);
        if (reason.isEmpty())
            return;
        const QString text = b.prompts.boxes[0].text;
        QVERIFY2(text.startsWith(QStringLiteral("The table could not be exported to %1: ").arg(QDir::toNativeSeparators(file)))
                     && text.endsWith(QStringLiteral(". Nothing was cleared."))
                     && text.contains(QString(reason).replace("%1", QDir::toNativeSeparators(dir.path()))),
                 qPrintable(text));
        QCOMPARE(int(b.prompts.boxes[0].icon), int(UiPrompts::Icon::Critical));
        // The rows that come next go on in the kept table.
        b.feed(runReading(rows));
        QCOMPARE(b.cell(rows + 1, 0), QString::number(rows + 1));
    }

    void emptyTableOnlyStartsAnew()
    {
        Bench b;
        b.core.Timer2.stop();
        b.core.cmdExport_Click();
        QVERIFY(b.prompts.dialogs.isEmpty());
        QCOMPARE(b.cell(0, 3), QStringLiteral("pH"));   // laid out
        QVERIFY(b.core.Timer2.isActive() && b.core.m.PollingOn);
    }

    // Export over a file: the file is replaced (through a link, the file
    // the link names, and the link stays), with its permission bits and, as
    // root, its owner and group.
    void replacingKeepsModeAndOwner_data()
    {
        // name: exported to; t.csv is the file, latest.csv a link to it
        // owner: uid and gid the file had; -1 one's own
        columns<QString, int, int>("name", "mode", "owner");
        QTest::newRow("group may read") << "t.csv" << 0640 << -1;
        QTest::newRow("through a link, all may write") << "latest.csv" << 0666 << -1;
        QTest::newRow("another user's") << "t.csv" << 0604 << 65534;
    }
    void replacingKeepsModeAndOwner()
    {
        auto [name, mode, owner] = fetch<QString, int, int>("name", "mode", "owner");
        if (owner >= 0 && geteuid() != 0)
            QSKIP("only root gives a file away");
        Bench b;
        fill(b, 2);
        QTemporaryDir dir;
        const QString file = dir.filePath("t.csv");
        const QByteArray path = QFile::encodeName(file);
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old\r\n") == 5);
        old.close();
        QVERIFY(QFile::link("t.csv", dir.filePath("latest.csv")));
        QVERIFY((owner < 0 || ::chown(path.constData(), uid_t(owner), gid_t(owner)) == 0)
                && ::chmod(path.constData(), mode_t(mode)) == 0);
        b.prompts.saveAs = dir.filePath(name);
        b.core.cmdExport_Click();
        QVERIFY2(b.prompts.boxes.isEmpty(), qPrintable(b.prompts.boxes.value(0).text));
        QVERIFY(readFile(file).startsWith("\xEF\xBB\xBFsn,"));
        QVERIFY(QFileInfo(dir.filePath("latest.csv")).isSymLink());
        QCOMPARE(entries(dir.path()), (QStringList{"latest.csv", "t.csv"}));
        struct stat st {};
        QVERIFY(::stat(path.constData(), &st) == 0);
        QCOMPARE(int(st.st_mode & 07777), mode);
        QVERIFY(owner < 0 || (st.st_uid == uid_t(owner) && st.st_gid == gid_t(owner)));
    }

    // The chart is saved the same way: over a file, or refused.
    void chartSave_data()
    {
        columns<QString, QString>("name", "reason");
        QTest::newRow("SVG over a file") << "old.svg" << "";
        QTest::newRow("PNG over a FIFO") << "pipe.png" << "it is a named pipe (FIFO), not a file";
        QTest::newRow("SVG through a link to a device") << "null.svg" << "it is a device, not a file";
    }
    void chartSave()
    {
        auto [name, reason] = fetch<QString, QString>("name", "reason");
        Bench b;
        fill(b, 3);
        QTemporaryDir dir;
        QFile old(dir.filePath("old.svg"));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        QVERIFY(::chmod(QFile::encodeName(old.fileName()).constData(), 0640) == 0);
        QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("pipe.png")).constData(), 0600) == 0);
        QVERIFY(QFile::link("/dev/null", dir.filePath("null.svg")));
        QCOMPARE(saveChart(dir.filePath(name), QSize(673, 481), b.core.chart, b.core.Picture4), reason);
        QVERIFY(isA("/dev/null", S_IFCHR) && isA(dir.filePath("pipe.png"), S_IFIFO)
                && isA(dir.filePath("null.svg"), S_IFLNK));
        QCOMPARE(entries(dir.path()), (QStringList{"null.svg", "old.svg", "pipe.png"}));
        QCOMPARE(readFile(old.fileName()).startsWith("<?xml"), reason.isEmpty());
        QCOMPARE(int(old.permissions() & (QFile::ReadGroup | QFile::WriteOther)), int(QFile::ReadGroup));
    }

    // The logger's --export: the session's end presses Export with the file.
    // Two rows make a stream too short for the container's regular sectors.
    // A file that fails leaves the rows in a CSV file beside it, else in the
    // current folder.
    void loggerExportsAtTheEnd_data()
    {
        // kept: where the rows went instead; DIR the export's folder, HERE the current one
        columns<QString, int, QString>("name", "exitCode", "kept");
        QTest::newRow("written") << "log.xls" << 0 << "";
        QTest::newRow("missing folder: rows here") << "gone/log.xls" << 1 << "HERE/log.xls.rows.csv";
        QTest::newRow("FIFO: rows beside it") << "pipe.xls" << 1 << "DIR/pipe.xls.rows.csv";
    }
    void loggerExportsAtTheEnd()
    {
        auto [name, exitCode, kept] = fetch<QString, int, QString>("name", "exitCode", "kept");
        if (!haveReaders())
            QSKIP("python3-xlrd or gnumeric is not installed");
        Logged l;
        QTemporaryDir here;
        const QString cwd = QDir::currentPath();
        QDir::setCurrent(here.path());
        const QString file = l.dir.filePath(name);
        QVERIFY(::mkfifo(QFile::encodeName(l.dir.filePath("pipe.xls")).constData(), 0600) == 0);
        l.session.setExportFile(file);
        QSignalSpy said(&l.session, &HeadlessSession::message);
        QVERIFY(l.start());
        l.b.core.cmdClear_Click();
        l.b.feed(runReading(0) + runReading(1));
        l.session.stop();
        QDir::setCurrent(cwd);
        QCOMPARE(l.finished.size(), 1);
        QCOMPARE(l.finished[0][0].toInt(), exitCode);
        QCOMPARE(l.b.link.written.last(), QByteArray("@B#"));
        QCOMPARE(l.b.prompts.boxes.size(), exitCode);   // the failure, said as in the window
        QCOMPARE(said.size(), 1);
        if (exitCode == 0) {
            QCOMPARE(said[0][0].toString(), QStringLiteral("2 rows exported to %1").arg(file));
            const QJsonObject read = readBack(file);
            QCOMPARE(read["structure"].toString(), QString());
            QCOMPARE(read["xlrd"].toArray().first().toArray().size(), 3);
            return;
        }
        const QString rows = kept.replace("DIR", l.dir.path()).replace("HERE", here.path());
        QCOMPARE(said[0][0].toString(), QStringLiteral("the 2 rows went to %1 instead").arg(rows));
        QCOMPARE(json(readBack(rows)["csv"]), json(QJsonArray{sheet(l.b, 1, 2)}));
    }
};

QTEST_MAIN(Export)
#include "tst_export.moc"
