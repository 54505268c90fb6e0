#include "table/CsvLog.h"

#include "table/FlexGrid.h"

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

bool CsvLog::open(const QString &path)
{
    close();
    file_.setFileName(path);
    // Append: a logger restarted on the same file continues it instead of
    // destroying an earlier session's rows.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    headerWritten_ = false;
    lastHeader_.clear();
    return true;
}

bool CsvLog::sync()
{
    if (!file_.isOpen() || !file_.flush())
        return false;
#ifdef Q_OS_UNIX
    return ::fsync(file_.handle()) == 0;
#else
    return true;
#endif
}

void CsvLog::close()
{
    if (file_.isOpen())
        file_.close();
}

QString CsvLog::field(const QString &text)
{
    static const QString kSpecial = QStringLiteral(",\"\r\n");
    bool quote = false;
    for (QChar c : text) {
        if (kSpecial.contains(c)) {
            quote = true;
            break;
        }
    }
    if (!quote)
        return text;
    QString out = text;
    out.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

QString CsvLog::line(const QStringList &fields)
{
    QString out;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += QLatin1Char(',');
        out += field(fields[i]);
    }
    out += QLatin1String("\r\n");
    return out;
}

bool CsvLog::writeLine(const QStringList &fields)
{
    const QByteArray bytes = line(fields).toUtf8();
    return file_.write(bytes) == bytes.size() && file_.flush();
}

bool CsvLog::appendRow(const QStringList &header, const QStringList &cells)
{
    if (!file_.isOpen())
        return false;
    if (!headerWritten_ || header != lastHeader_) {
        if (!writeLine(header))
            return false;
        headerWritten_ = true;
        lastHeader_ = header;
    }
    return writeLine(cells);
}

bool CsvLog::appendGridRow(const FlexGrid &grid, int row)
{
    QStringList header, cells;
    for (int c = 0; c < FlexGrid::kCols; ++c) {
        header << grid.TextMatrix(0, c);
        cells << grid.TextMatrix(row, c);
    }
    return appendRow(header, cells);
}
