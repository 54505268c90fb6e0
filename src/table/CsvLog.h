#pragma once
#include <QFile>
#include <QString>
#include <QStringList>

#include <string_view>

class FlexGrid;

// An append-only CSV log of table rows: UTF-8, fields quoted only when they
// hold a comma, a quote, CR or LF (quotes doubled), lines ending in CRLF.
//
// Each row line is preceded by a header line (the table's header row) when it
// is the first row written since the file was opened, or when the header has
// changed since the last header line: a meter of another family or a fresh
// layout changes the columns' meaning, and the file must say so where it
// happens. A file that already holds rows is continued under its last
// header, with no second header when the columns are the same. A new file
// begins with a UTF-8 byte-order mark, so that spreadsheet programs read the
// degree sign right. Every line goes to the system as soon as it is written,
// so a lab can tail the file and a crash loses nothing already logged; and
// it goes whole or not at all: after a failed write (a full disk) the file
// ends with the last whole line, and errorString() names the system's reason.
class CsvLog
{
public:
    CsvLog() = default;
    CsvLog(const CsvLog &) = delete;
    CsvLog &operator=(const CsvLog &) = delete;

    // Opens `path` for appending (created if missing). False with
    // errorString() set when it cannot be opened.
    bool open(const QString &path);
    bool isOpen() const { return file_.isOpen(); }
    void close();
    QString errorString() const { return error_; }
    // Hands everything written so far to the disk itself (not only to the
    // system), so that a power cut cannot take it.
    bool sync();

    // Writes one row, with a header line before it when one is due. False
    // when the file is not open or the write failed.
    bool appendRow(const QStringList &header, const QStringList &cells);
    // The same for data row `row` of the grid, with the grid's header row.
    bool appendGridRow(const FlexGrid &grid, int row);
    // Rows this log has written since it was opened.
    int rowsWritten() const { return rowsWritten_; }

    // One whole line with its CRLF, as it appears in the file; the second
    // form appends it to `out` as UTF-8 (what a long export writes with).
    static QString line(const QStringList &fields);
    static void appendLine(QByteArray &out, const std::string_view *fields, std::size_t count);
    // The fields of one line (without its line end), quotes undone.
    static QStringList parseLine(const QString &line);

private:
    bool append(const QByteArray &bytes);
    static QStringList lastHeaderIn(const QString &path);

    QFile file_;
    QString error_;
    bool headerWritten_ = false;
    QStringList lastHeader_;
    int rowsWritten_ = 0;
};
