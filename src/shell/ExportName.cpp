#include "shell/ExportName.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

// The first and the last entries as they always were; the middle ones so
// that a user can find the other kinds the export writes.
const QString kTidyCsvEntry = QStringLiteral("CSV, one reading a row(*.csv)");
const QString kExportFilter = QStringLiteral("EXCEL(*.xls)|EXCEL 2007(*.xlsx)|CSV(*.csv)|") + kTidyCsvEntry
    + QStringLiteral("|JSON Lines(*.jsonl)|All File(*.*)");

namespace {

struct KindBySuffix
{
    const char *suffix;
    ExportKind kind;
};
constexpr KindBySuffix kKinds[] = {
    {"xls", ExportKind::Xls}, {"xlsx", ExportKind::Xlsx}, {"csv", ExportKind::Csv}, {"jsonl", ExportKind::JsonLines}};

const KindBySuffix *kindBySuffix(const QString &file)
{
    const QString suffix = QFileInfo(file).suffix().toLower();
    for (const KindBySuffix &k : kKinds)
        if (suffix == QLatin1String(k.suffix))
            return &k;
    return nullptr;
}

} // namespace

ExportKind exportKind(const QString &file, bool tidyCsv)
{
    const KindBySuffix *k = kindBySuffix(file);
    if (!k)
        return ExportKind::Xls;
    return k->kind == ExportKind::Csv && tidyCsv ? ExportKind::TidyCsv : k->kind;
}

QString loggerExportRefusal(const QString &file, bool tidyCsv)
{
    QStringList known;
    for (const KindBySuffix &k : kKinds)
        known << QLatin1Char('.') + QLatin1String(k.suffix);
    if (!kindBySuffix(file))
        return QStringLiteral("--export %1: the name must end in %2, which says what is written")
            .arg(file, known.join(QStringLiteral(", ")));
    if (tidyCsv && exportKind(file, true) != ExportKind::TidyCsv)
        return QStringLiteral("--tidy writes a .csv file: --export %1 is not one").arg(file);
    return {};
}

QString filterSuffix(const QString &filterEntry)
{
    static const QRegularExpression pattern(QStringLiteral("\\(\\*\\.(\\w+)\\)"));
    return pattern.match(filterEntry).captured(1).toLower();
}

QString nameForFilter(const QString &name, const QString &suffix)
{
    static const QStringList kExportSuffixes{QStringLiteral("xls"), QStringLiteral("xlsx"), QStringLiteral("csv"),
                                             QStringLiteral("jsonl")};
    const QString old = QFileInfo(name).suffix();
    if (suffix.isEmpty() || !kExportSuffixes.contains(old.toLower()))
        return name;
    return name.left(name.size() - old.size()) + suffix;
}

QString proposedExportName(const QDateTime &now, bool driveD, const QString &documents)
{
    const auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    const QString name = two(now.date().month()) + two(now.date().day()) + two(now.time().hour())
        + two(now.time().minute()) + QStringLiteral(".xls");
    if (driveD)
        return QStringLiteral("D:\\") + name;
    return QDir::toNativeSeparators(QDir(documents).filePath(name));
}

bool hasDriveD()
{
#ifdef Q_OS_WIN
    return QDir(QStringLiteral("D:/")).exists();
#else
    return false;   // "D:" would be a relative folder here
#endif
}

QString documentsFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(documents).exists() ? documents : QDir::homePath();
}
