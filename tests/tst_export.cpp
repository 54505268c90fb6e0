// Export: the proposed name, the files read back by readers this project did
// not write (xlrd, Gnumeric's ssconvert, Python's csv), a structural check of
// the .xls, and what a cancel, a failure or a long export leaves behind.
#include "shell/ExportName.h"
#include "shell/HeadlessSession.h"
#include "support/FakeMeter.h"
#include "table/CsvLog.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using Sheets = QList<QList<QStringList>>;   // sheets of rows of cells

// pH on 3-07, one reading a second from 0:00:00, the value drifting.
QByteArray reading(int i)
{
    const auto hex = [](int v) { return QByteArray::number(v, 16).toUpper().rightJustified(4, '0'); };
    return "<D" + hex(0x1000 | 2 << 10 | 3 << 6 | i % 60) + hex(7 << 11 | (i / 3600 % 24) << 6 | (i / 60 % 60))
        + hex(7000 + i % 41) + hex(750) + ">";
}

// A connected pH table with `n` readings.
void fill(Bench &b, int n)
{
    b.core.cmdClear_Click();
    for (int i = 0; i < n; ++i)
        b.feed(reading(i));
}

// Eight cells a row; trailing empty rows dropped (readers differ on them).
QList<QStringList> normalised(QList<QStringList> rows)
{
    for (QStringList &r : rows)
        while (r.size() < 8)
            r << QString();
    while (!rows.isEmpty() && rows.last().join(QString()).isEmpty())
        rows.removeLast();
    return rows;
}

// What a sheet holding table rows [first, last] should read: the header, then those rows.
QList<QStringList> expectedSheet(const Bench &b, int first, int last)
{
    QList<QStringList> rows{b.rowText(0).split(u'|')};
    for (int r = first; r <= last; ++r)
        rows << b.rowText(r).split(u'|');
    return normalised(rows);
}

// Debian's python with xlrd for .xls and .xlsx, its csv module for .csv:
// the sheets' names, then their rows; a cell that is not text reads "#type".
const char kPythonReader[] = R"(
import sys, json, csv
p = sys.argv[1]
if p.endswith('.csv'):
    with open(p, encoding='utf-8-sig', newline='') as f:
        print(json.dumps([['csv'], list(csv.reader(f))]))
else:
    import xlrd
    b = xlrd.open_workbook(p)
    cell = lambda c: c.value if c.ctype == 1 else ('' if c.ctype == 0 else '#type')
    print(json.dumps([[s.name for s in b.sheets()]]
                     + [[[cell(c) for c in s.row(r)] for r in range(s.nrows)] for s in b.sheets()]))
)";

QByteArray run(const QString &program, const QStringList &args, QByteArray *err = nullptr)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(240000) || p.exitCode() != 0)
        qWarning() << program << p.readAllStandardError();
    if (err)
        *err = p.readAllStandardError();
    return p.readAllStandardOutput();
}

Sheets readWithPython(const QString &path, QStringList &names)
{
    QJsonArray all = QJsonDocument::fromJson(run(QStringLiteral("/usr/bin/python3"),
                                                 {QStringLiteral("-c"), QString::fromLatin1(kPythonReader), path}))
                         .array();
    names = QVariant(all.takeAt(0).toArray().toVariantList()).toStringList();
    Sheets sheets;
    for (const QJsonValue &s : all) {
        QList<QStringList> rows;
        for (const QJsonValue &r : s.toArray())
            rows << QVariant(r.toArray().toVariantList()).toStringList();
        sheets << normalised(rows);
    }
    return sheets;
}

// Gnumeric's ssconvert, one CSV per sheet; anything on stderr is a fault it found.
Sheets readWithGnumeric(const QString &path, QByteArray *complaints)
{
    QTemporaryDir out;
    run(QStringLiteral("ssconvert"), {QStringLiteral("-S"), QStringLiteral("-T"), QStringLiteral("Gnumeric_stf:stf_csv"),
                                      path, out.filePath(QStringLiteral("s.%n.csv"))},
        complaints);
    Sheets sheets;
    for (int n = 0;; ++n) {
        QFile f(out.filePath(QStringLiteral("s.%1.csv").arg(n)));
        if (!f.open(QIODevice::ReadOnly))
            break;
        QList<QStringList> rows;
        for (const QString &line : QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts))
            rows << CsvLog::parseLine(QString(line).remove(u'\r'));
        sheets << normalised(rows);
    }
    return sheets;
}

bool haveReaders()
{
    return !QStandardPaths::findExecutable("ssconvert").isEmpty()
        && QProcess::execute(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import xlrd")}) == 0;
}

// The structure of an .xls, checked by hand: the container's allocation
// table (through DIFAT sectors when there are any) yields the Workbook
// stream, in which every record is at most 8,224 bytes, each sheet offset
// lands on a sheet's BOF, each INDEX entry on a DBCELL, and the string
// table counts as many uses as there are text cells.
QString checkXlsStructure(const QString &path, int *difatSectors)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return f.errorString();
    const QByteArray file = f.readAll();
    const auto u16 = [](const QByteArray &b, qsizetype at) { return qFromLittleEndian<quint16>(b.constData() + at); };
    const auto u32 = [](const QByteArray &b, qsizetype at) { return qFromLittleEndian<quint32>(b.constData() + at); };
    const auto sector = [&](quint32 s) { return file.mid(512 + qsizetype(s) * 512, 512); };
    if (file.size() < 1536 || file.size() % 512 || u16(file, 30) != 9)
        return QStringLiteral("not a compound file of 512-byte sectors");

    // The FAT's sectors: 109 in the header, the rest in the DIFAT chain.
    const quint32 fatCount = u32(file, 44);
    QList<quint32> fatSectors;
    for (int i = 0; i < 109 && quint32(fatSectors.size()) < fatCount; ++i)
        fatSectors << u32(file, 76 + 4 * i);
    *difatSectors = 0;
    for (quint32 d = u32(file, 68); d < 0xFFFFFFFA; d = u32(sector(d), 508), ++*difatSectors)
        for (int i = 0; i < 127 && quint32(fatSectors.size()) < fatCount; ++i)
            fatSectors << u32(sector(d), 4 * i);
    if (quint32(*difatSectors) != u32(file, 72))
        return QStringLiteral("DIFAT chain of %1 sectors, header says %2").arg(*difatSectors).arg(u32(file, 72));
    QByteArray fat;
    for (quint32 s : fatSectors)
        fat += sector(s);
    for (quint32 s : fatSectors)
        if (u32(fat, 4 * s) != 0xFFFFFFFD)
            return QStringLiteral("FAT sector %1 not marked").arg(s);
    const auto chain = [&](quint32 s) {
        QByteArray bytes;
        for (int guard = 0; s < 0xFFFFFFFA && guard < fat.size() / 4; ++guard, s = u32(fat, 4 * s))
            bytes += sector(s);
        return bytes;
    };
    const QByteArray dir = chain(u32(file, 48));
    const QByteArray name = QByteArray("W\0o\0r\0k\0b\0o\0o\0k\0", 16);
    qsizetype e = 0;
    while (e < dir.size() && dir.mid(e, 16) != name)
        e += 128;
    if (e >= dir.size())
        return QStringLiteral("no Workbook stream");
    if (u32(dir, e + 120) < 4096)
        return QStringLiteral("a stream under 4096 bytes belongs in a mini stream, and there is none");
    const QByteArray stream = chain(u32(dir, e + 116)).left(u32(dir, e + 120));

    // Every pointer must land on a record of its kind: a sheet offset on a
    // sheet's BOF, an INDEX entry on a DBCELL, a DBCELL back on a ROW, an
    // EXTSST bucket on the string record it names.
    struct Pointer { qint64 to; QList<quint32> kinds; const char *what; };
    QList<Pointer> pointers;
    QHash<qint64, quint32> kindAt;   // record id, with a BOF's type above it
    quint32 sstTotal = 0, labels = 0, sheets = 0;
    for (qsizetype at = 0; at + 4 <= stream.size();) {
        const quint16 id = u16(stream, at), len = u16(stream, at + 2);
        if (id == 0 && len == 0)
            break;   // the padding after the last sheet
        if (len > 8224 || at + 4 + len > stream.size())
            return QStringLiteral("record 0x%1 at %2 is %3 bytes").arg(id, 0, 16).arg(at).arg(len);
        const qsizetype data = at + 4;
        kindAt[at] = id == 0x0809 ? id | quint32(u16(stream, data + 2)) << 16 : id;
        if (id == 0x0085) {
            pointers << Pointer{u32(stream, data), {0x100809}, "sheet offset"};
            ++sheets;
        } else if (id == 0x020B)
            for (qsizetype i = 16; i < len; i += 4)
                pointers << Pointer{u32(stream, data + i), {0x00D7}, "INDEX entry"};
        else if (id == 0x00D7)
            pointers << Pointer{at - u32(stream, data), {0x0208}, "DBCELL"};
        else if (id == 0x00FF)
            for (qsizetype i = 2; i + 8 <= len; i += 8)
                pointers << Pointer{u32(stream, data + i) - u16(stream, data + i + 4), {0x00FC, 0x003C}, "EXTSST bucket"};
        else if (id == 0x00FC)
            sstTotal = u32(stream, data);
        else if (id == 0x00FD)
            ++labels;
        at = data + len;
    }
    for (const Pointer &p : pointers)
        if (!p.kinds.contains(kindAt.value(p.to)))
            return QStringLiteral("%1 at %2 points at no record of its kind").arg(QLatin1String(p.what)).arg(p.to);
    if (sheets == 0 || sstTotal != labels)
        return QStringLiteral("%1 sheets, SST counts %2 uses for %3 text cells").arg(sheets).arg(sstTotal).arg(labels);
    return {};
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Every write past `bytes` into any file fails (EFBIG), as on a full disk.
struct FileSizeLimit
{
    rlimit saved{};
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit tight = saved;
        tight.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &tight);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved); }
};

} // namespace

class Export : public QObject
{
    Q_OBJECT
private slots:
    void proposedName_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<bool>("driveD");
        QTest::addColumn<QString>("expected");
        const QDateTime march(QDate(2026, 3, 7), QTime(14, 5, 59));
        QTest::newRow("drive D") << march << true << "D:\\03071405.xls";
        QTest::newRow("documents") << march << false << QDir::toNativeSeparators("/home/lab/Documents/03071405.xls");
        QTest::newRow("midnight, new year") << QDateTime(QDate(2027, 1, 1), QTime(0, 0)) << true << "D:\\01010000.xls";
        QTest::newRow("last minute of the year") << QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)) << true
                                                 << "D:\\12312359.xls";
    }
    void proposedName()
    {
        QFETCH(QDateTime, now);
        QFETCH(bool, driveD);
        QTEST(proposedExportName(now, driveD, QStringLiteral("/home/lab/Documents")), "expected");
    }

    // Three readings, one cell in 16-bit characters, one with CSV's special
    // characters and one too long for a string record (16-bit, with
    // surrogate pairs), written by the button and read back.
    void writtenTableReadsBack_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("xls") << "t.xls";
        QTest::newRow("no suffix is xls") << "t";
        QTest::newRow("xlsx") << "t.xlsx";
        QTest::newRow("csv") << "t.csv";
    }
    void writtenTableReadsBack()
    {
        QFETCH(QString, name);
        if (!haveReaders())
            QSKIP("python3-xlrd or gnumeric is not installed");
        Bench b;
        fill(b, 3);
        b.core.MSFlexGrid1->setTextMatrix(2, 5, QStringLiteral("Ω 5 µS"));
        b.core.MSFlexGrid1->setTextMatrix(3, 7, QStringLiteral("say \"1,5\""));
        b.core.MSFlexGrid1->setTextMatrix(1, 6, QString(3000, QChar(0x03A9)) + QStringLiteral("😀").repeated(2500));
        QCOMPARE(b.cell(1, 4), QStringLiteral("77.0°F(ATC)"));   // no settings frame: Fahrenheit
        const QList<QStringList> table = expectedSheet(b, 1, b.core.m.GridRow);
        QTemporaryDir dir;
        b.prompts.saveAs = dir.filePath(name);
        b.core.now = [] { return QDateTime(QDate(2026, 3, 7), QTime(14, 5)); };
        QSignalSpy exported(&b.core, &MainCore::exported);
        const quint64 clears = b.core.Picture4.mark().clears;
        b.core.cmdExport_Click();

        QCOMPARE(b.prompts.dialogs.size(), 1);
        QCOMPARE(b.prompts.dialogs[0].section(u'|', 0, 0), QStringLiteral("Export Data"));
        QVERIFY(b.prompts.dialogs[0].section(u'|', 1, 1).endsWith(QDir::toNativeSeparators("/03071405.xls")));
        QCOMPARE(b.prompts.dialogs[0].section(u'|', 2), QStringLiteral("EXCEL(*.xls)|All File(*.*)"));
        QVERIFY2(b.prompts.boxes.isEmpty(), qPrintable(b.prompts.boxes.value(0).text));
        QCOMPARE(b.prompts.opened, QStringList{b.prompts.saveAs});
        QCOMPARE(exported.size(), 1);
        QCOMPARE(exported[0][1].toInt(), 3);
        QCOMPARE(entries(dir.path()), QStringList{name});   // no scratch file left
        // A new recording: empty table, blank chart, polling.
        QCOMPARE(b.core.m.GridRow, 1);
        QVERIFY(b.cell(1, 0).isEmpty());
        QVERIFY(b.core.Picture4.mark().clears > clears && b.core.Picture4.mark().segments == 0);
        QVERIFY(b.core.Timer2.isActive() && b.core.m.PollingOn);

        QStringList sheetNames;
        QCOMPARE(readWithPython(b.prompts.saveAs, sheetNames), Sheets{table});
        if (name.endsWith(QLatin1String(".csv"))) {
            QFile f(b.prompts.saveAs);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY(f.readAll().startsWith("\xEF\xBB\xBFsn,Date,Time,pH,Temp,,,\r\n1,3-07,0:00:00,"));
            return;
        }
        QCOMPARE(sheetNames, QStringList{"Sheet1"});
        QByteArray complaints;
        QCOMPARE(readWithGnumeric(b.prompts.saveAs, &complaints), Sheets{table});
        QCOMPARE(complaints, QByteArray());
        int difat = -1;
        if (!name.endsWith(QLatin1String(".xlsx")))
            QCOMPARE(checkXlsStructure(b.prompts.saveAs, &difat), QString());
    }

    // A long table: two sheets, a container with DIFAT sectors, a progress
    // dialog, and a reading that arrives while the file is written lands in
    // the new table, not in the file.
    void longTableMakesSheetsAndHoldsTheReceiveTick()
    {
        if (!haveReaders())
            QSKIP("python3-xlrd or gnumeric is not installed");
        Bench b;
        const int n = 70000;
        fill(b, n);
        const QList<QStringList> first = expectedSheet(b, 1, 65535);
        const QList<QStringList> second = expectedSheet(b, 65536, n);
        QTemporaryDir dir;
        b.prompts.saveAs = dir.filePath("long.xls");
        b.prompts.duringProgress = [&] {
            if (b.prompts.progress.size() == 1)
                b.feed(reading(n));   // a receive tick while the progress dialog runs
        };
        b.core.cmdExport_Click();
        QVERIFY2(b.prompts.boxes.isEmpty(), qPrintable(b.prompts.boxes.value(0).text));
        QVERIFY(b.prompts.progress.size() > 2);
        QCOMPARE(b.prompts.progress.last(), -1);
        QCOMPARE(b.core.m.GridRow, 1);
        b.core.Timer1_Timer();
        QCOMPARE(b.core.m.GridRow, 2);
        QCOMPARE(b.cell(1, 0), QStringLiteral("1"));

        int difat = 0;
        QCOMPARE(checkXlsStructure(b.prompts.saveAs, &difat), QString());
        QVERIFY(difat > 0);
        QStringList names;
        QVERIFY(readWithPython(b.prompts.saveAs, names) == (Sheets{first, second}));
        QCOMPARE(names, (QStringList{"Sheet1", "Sheet2"}));
        QByteArray complaints;
        QVERIFY(readWithGnumeric(b.prompts.saveAs, &complaints) == (Sheets{first, second}));
        QCOMPARE(complaints, QByteArray());
    }

    // Whatever stops an export, the table, the chart and polling stay as
    // they were and no file is left; a failure is said once, naming the
    // file and the reason; a cancel is silent.
    void cancelOrFailureKeepsTheTable_data()
    {
        QTest::addColumn<QString>("name");      // in a fresh folder; "" cancels
        QTest::addColumn<int>("sizeLimit");     // bytes any file may grow to; 0 no limit
        QTest::addColumn<QString>("reason");
        QTest::newRow("cancel") << "" << 0 << "";
        QTest::newRow("missing folder") << "gone/t.xls" << 0 << "the folder %1/gone does not exist";
        QTest::newRow("name of a folder") << "sub" << 0 << "a folder has that name";
        QTest::newRow("unwritable folder") << "ro/t.xls" << 0 << "Permission denied";
        QTest::newRow("disk full, xls") << "t.xls" << 4096 << "File too large";
        QTest::newRow("disk full, xlsx") << "t.xlsx" << 4096 << "File too large";
        QTest::newRow("disk full, csv") << "t.csv" << 4096 << "File too large";
    }
    void cancelOrFailureKeepsTheTable()
    {
        QFETCH(QString, name);
        QFETCH(int, sizeLimit);
        QFETCH(QString, reason);
        Bench b;
        fill(b, 300);
        b.core.Timer2.stop();   // as after a download's end frame
        b.core.m.PollingOn = false;
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("sub") && QDir(dir.path()).mkdir("ro"));
        // Root writes anywhere but in the system's own folders.
        const QString ro = geteuid() == 0 ? QStringLiteral("/sys") : dir.filePath("ro");
        QFile::setPermissions(dir.filePath("ro"), QFile::ReadOwner | QFile::ExeOwner);
        const QString file = name.isEmpty() ? QString() : name.startsWith("ro/") ? ro + "/t.xls" : dir.filePath(name);
        const QStringList before = entries(dir.path());
        const auto clears = b.core.Picture4.mark().clears;
        b.prompts.saveAs = file;
        {
            std::unique_ptr<FileSizeLimit> limit(sizeLimit ? new FileSizeLimit(rlim_t(sizeLimit)) : nullptr);
            b.core.cmdExport_Click();
        }
        QCOMPARE(b.prompts.dialogs.size(), 1);
        QCOMPARE(b.core.m.GridRow, 301);
        QCOMPARE(b.cell(300, 0), QStringLiteral("300"));
        QCOMPARE(b.core.Picture4.mark().clears, clears);
        QVERIFY(!b.core.Timer2.isActive() && !b.core.m.PollingOn);
        QVERIFY(b.prompts.opened.isEmpty());
        QCOMPARE(entries(dir.path()), before);
        QVERIFY(!QFile::exists(ro + "/t.xls"));
        if (name.isEmpty()) {
            QVERIFY(b.prompts.boxes.isEmpty());
            return;
        }
        QCOMPARE(b.prompts.boxes.size(), 1);
        const QString text = b.prompts.boxes[0].text;
        QVERIFY2(text.startsWith(QStringLiteral("The table could not be exported to %1: ").arg(QDir::toNativeSeparators(file)))
                     && text.endsWith(QStringLiteral(". Nothing was cleared.")),
                 qPrintable(text));
        QVERIFY2(text.contains(QString(reason).replace("%1", QDir::toNativeSeparators(dir.path()))), qPrintable(text));
        QCOMPARE(int(b.prompts.boxes[0].icon), int(UiPrompts::Icon::Critical));
        // The rows that come next go on in the kept table.
        b.feed(reading(300));
        QCOMPARE(b.cell(301, 0), QStringLiteral("301"));
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

    // The logger's --export: the session's end presses Export with the file.
    void loggerExportsAtTheEnd_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("written") << "log.xls" << 0;
        QTest::newRow("missing folder") << "gone/log.xls" << 1;
    }
    void loggerExportsAtTheEnd()
    {
        QFETCH(QString, name);
        QFETCH(int, exitCode);
        Bench b(false);
        HeadlessSession session(b.core);
        QTemporaryDir dir;
        session.setExportFile(dir.filePath(name));
        QSignalSpy finished(&session, &HeadlessSession::finished);
        QSignalSpy said(&session, &HeadlessSession::message);
        QVERIFY(session.start(QStringLiteral("/dev/fake0")));
        b.core.cmdClear_Click();
        b.feed(reading(0) + reading(1));
        session.stop();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].toInt(), exitCode);
        QCOMPARE(b.link.written.last(), QByteArray("@B#"));
        if (exitCode == 0) {
            QCOMPARE(said.size(), 1);
            QCOMPARE(said[0][0].toString(), QStringLiteral("2 rows exported to %1").arg(dir.filePath(name)));
            int difat = -1;
            QCOMPARE(checkXlsStructure(dir.filePath(name), &difat), QString());
            QStringList names;
            if (haveReaders())
                QCOMPARE(readWithPython(dir.filePath(name), names).value(0).size(), 3);
        } else {
            QCOMPARE(b.prompts.boxes.size(), 1);
            QVERIFY(b.prompts.boxes[0].text.contains(QStringLiteral("does not exist")));
            QCOMPARE(b.core.m.GridRow, 3);
        }
    }
};

QTEST_MAIN(Export)
#include "tst_export.moc"
