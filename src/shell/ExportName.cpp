#include "shell/ExportName.h"

#include <QDir>
#include <QStandardPaths>

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
