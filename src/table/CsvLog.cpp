#include "table/CsvLog.h"

#include "table/FlexGrid.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

bool CsvLog::open(const QString &path)
{
    close();
    error_.clear();
    // What the file already holds: its last header goes on, if any.
    const QStringList existing = lastHeaderIn(path);
    file_.setFileName(path);
    // Append: a logger restarted on the same file continues it instead of
    // destroying an earlier session's rows.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        error_ = file_.errorString();
        return false;
    }
    headerWritten_ = !existing.isEmpty();
    lastHeader_ = existing;
    if (file_.size() == 0 && !file_.isSequential() && !append(QByteArrayLiteral("\xEF\xBB\xBF")))
        return false;
    return true;
}

bool CsvLog::sync()
{
    if (!file_.isOpen())
        return false;
    if (::fsync(file_.handle()) != 0 && errno != EINVAL) {
        error_ = systemReason(errno);
        return false;
    }
    return true;
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

void CsvLog::appendLine(QByteArray &out, const std::string_view *fields, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0)
            out += ',';
        const std::string_view text = fields[i];
        if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
            out.append(text.data(), qsizetype(text.size()));
            continue;
        }
        out += '"';
        for (char c : text) {
            if (c == '"')
                out += '"';
            out += c;
        }
        out += '"';
    }
    out += "\r\n";
}

namespace {

// `texts` as UTF-8, with views on it for appendLine.
struct Utf8Fields
{
    explicit Utf8Fields(const QStringList &texts)
    {
        for (const QString &t : texts)
            bytes.push_back(t.toUtf8());
        for (const QByteArray &b : bytes)
            views.emplace_back(b.constData(), std::size_t(b.size()));
    }
    std::vector<QByteArray> bytes;
    std::vector<std::string_view> views;
};

} // namespace

QString CsvLog::line(const QStringList &fields)
{
    QByteArray out;
    const Utf8Fields f(fields);
    appendLine(out, f.views.data(), f.views.size());
    return QString::fromUtf8(out);
}

// Straight to the system, whole or not at all: on a full disk a write comes
// up short and only the next one fails and says why; the file is then cut
// back to where it ended, so that it never ends in half a row that a reader
// would take for a reading. (A pipe or a device cannot be cut back; what it
// took is gone already.)
bool CsvLog::append(const QByteArray &bytes)
{
    const int fd = file_.handle();
    struct stat st {};
    const off_t end = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? st.st_size : -1;
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error_ = systemReason(n < 0 ? errno : EIO);
            if (end >= 0 && ::ftruncate(fd, end) != 0)
                error_ += QStringLiteral(", and the part written could not be taken back (%1)").arg(systemReason(errno));
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

bool CsvLog::appendRow(const QStringList &header, const QStringList &cells)
{
    if (!file_.isOpen()) {
        error_ = QStringLiteral("the file is not open");
        return false;
    }
    // A header line due goes in one write with its row: the file never
    // ends in a header that no row follows because the disk was full.
    const bool headerDue = !headerWritten_ || header != lastHeader_;
    QByteArray bytes;
    if (headerDue) {
        const Utf8Fields h(header);
        appendLine(bytes, h.views.data(), h.views.size());
    }
    const Utf8Fields c(cells);
    appendLine(bytes, c.views.data(), c.views.size());
    if (!append(bytes))
        return false;
    if (headerDue) {
        headerWritten_ = true;
        lastHeader_ = header;
    }
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
