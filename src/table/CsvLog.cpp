#include "table/CsvLog.h"

#include "table/FlexGrid.h"

#include <cctype>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

bool CsvLog::open(const QString &path)
{
    close();
    // What the file already holds: its last header goes on, if any.
    const QStringList existing = lastHeaderIn(path);
    file_.setFileName(path);
    // Append: a logger restarted on the same file continues it instead of
    // destroying an earlier session's rows.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    headerWritten_ = !existing.isEmpty();
    lastHeader_ = existing;
    if (file_.size() == 0 && !file_.isSequential() && file_.write("\xEF\xBB\xBF") != 3)
        return false;
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

QStringList CsvLog::parseLine(const QString &line)
{
    QStringList fields;
    QString f;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted && c == QLatin1Char('"')) {
            if (i + 1 < line.size() && line[i + 1] == QLatin1Char('"'))
                f += line[++i];
            else
                quoted = false;
        } else if (c == QLatin1Char('"') && f.isEmpty()) {
            quoted = true;
        } else if (c == QLatin1Char(',') && !quoted) {
            fields << f;
            f.clear();
        } else {
            f += c;
        }
    }
    fields << f;
    return fields;
}

// The last header line of an existing file: the last line whose first field
// is not a row number. Read from the end, a block at a time, so a long log
// costs only as much as lies after its last header.
QStringList CsvLog::lastHeaderIn(const QString &path)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly) || in.isSequential())
        return {};
    qint64 pos = in.size();
    QByteArray partial;   // the start of a line cut by the block before
    while (pos > 0) {
        const qint64 n = qMin<qint64>(64 * 1024, pos);
        pos -= n;
        in.seek(pos);
        QByteArray block = in.read(n) + partial;
        const qsizetype firstEnd = pos == 0 ? -1 : block.indexOf('\n');
        partial = block.left(firstEnd + 1);
        const QList<QByteArray> lines = block.mid(firstEnd + 1).split('\n');
        for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
            QByteArray l = it->trimmed();
            if (l.startsWith("\xEF\xBB\xBF"))
                l.remove(0, 3);
            if (!l.isEmpty() && !std::isdigit(static_cast<unsigned char>(l[0])))
                return parseLine(QString::fromUtf8(l));
        }
        if (firstEnd < 0)
            break;
    }
    return {};
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
    if (!writeLine(cells))
        return false;
    ++rowsWritten_;
    return true;
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
