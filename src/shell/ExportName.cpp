#include "shell/ExportName.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

// The first and the last entries as they always were; the middle two so
// that a user can find the other kinds the export writes.
const QString kExportFilter = QStringLiteral("EXCEL(*.xls)|EXCEL 2007(*.xlsx)|CSV(*.csv)|All File(*.*)");

QString filterSuffix(const QString &filterEntry)
{
    static const QRegularExpression pattern(QStringLiteral("\\(\\*\\.(\\w+)\\)"));
    return pattern.match(filterEntry).captured(1).toLower();
}

QString nameForFilter(const QString &name, const QString &suffix)
{
    static const QStringList kExportSuffixes{QStringLiteral("xls"), QStringLiteral("xlsx"), QStringLiteral("csv")};
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
