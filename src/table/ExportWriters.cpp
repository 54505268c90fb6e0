#include "table/ExportWriters.h"

#include "files/ReplaceFile.h"
#include "files/WriteAll.h"
#include "table/CsvLog.h"
#include "table/NumericCell.h"
#include "table/XlsWriter.h"
#include "text/NumericLocale.h"

#include <QFileInfo>
#include <QHash>

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

const QString kCancelled = QStringLiteral("cancelled");

bool allEmpty(const ExportSource::Row &cells)
{
    return std::all_of(cells.begin(), cells.end(), [](const QString &c) { return c.isEmpty(); });
}

// The workbooks copy the empty row below the last reading as it stands; a
// CSV file has no empty row to carry, and a reader would take one for a
// reading with every value missing.
QString writeCsv(QIODevice &out, const ExportSource &source)
{
    if (!writeAll(out, QByteArrayLiteral("\xEF\xBB\xBF")))
        return out.errorString();
    ExportSource::Row last;
    int rows = source.rows;
    if (rows > 1) {
        source.read(rows - 1, last);
        rows -= allEmpty(last);
    }
    ExportSource::Utf8Row cells;
    QByteArray chunk;
    chunk.reserve((1 << 20) + 4096);
    for (int r = 0; r < rows; ++r) {
        if (!source.takeUtf8(r, cells))
            return kCancelled;
        CsvLog::appendLine(chunk, cells.data(), cells.size());
        if (chunk.size() > (1 << 20) || r + 1 == rows) {
            if (!writeAll(out, chunk))
                return out.errorString();
            chunk.resize(0);   // the buffer stays for the next megabyte
        }
    }
    return {};
}

// Office Open XML through libxlsxwriter, row by row in its constant-memory
// mode; a sheet takes 1,048,576 rows, the header at the top of each. The
// library writes to a file by name: `file`, the scratch file that is
// renamed into place, so the workbook is written once and never copied.
// The library prints each value with printf, which would write "7,01" (a
// text no reader takes as 7.01) in a language with a decimal comma.
QString writeXlsx(const QString &file, const ExportSource &source, const QString &scratchDir)
{
    const CNumbersHere cNumbers;
    constexpr int kSheetRows = 1048576;
    const QByteArray name = QFile::encodeName(file);
    QByteArray tmpdir = QFile::encodeName(scratchDir);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = tmpdir.data();
    options.use_zip64 = LXW_TRUE;
    lxw_workbook *wb = workbook_new_opt(name.constData(), &options);
    for (const auto &[key, value] : source.properties)
        if (wb)
            workbook_set_custom_property_string(wb, key.toUtf8().constData(), value.toUtf8().constData());
    if (!wb)
        return QStringLiteral("the workbook could not be started");
    ExportSource::Row header, cells;
    source.read(0, header);
    lxw_worksheet *ws = nullptr;
    int sheetRow = 0;
    // A text that is a number (the header's never) goes in as a number that
    // reads the same, with one format object per number format: the
    // library keeps every one it is given until the workbook closes.
    QHash<QString, lxw_format *> numberFormats;
    auto writeRow = [&](const ExportSource::Row &row) {
        for (int c = 0; c < 8; ++c) {
            const QString &text = row[std::size_t(c)];
            if (text.isEmpty())
                continue;
            if (const auto number = sheetRow > 0 ? numericCell(text) : std::nullopt) {
                lxw_format *&format = numberFormats[number->format];
                if (!format) {
                    format = workbook_add_format(wb);
                    if (format)
                        format_set_num_format(format, number->format.toLatin1().constData());
                }
                worksheet_write_number(ws, lxw_row_t(sheetRow), lxw_col_t(c), number->value, format);
            } else {
                worksheet_write_string(ws, lxw_row_t(sheetRow), lxw_col_t(c), text.toUtf8().constData(), nullptr);
            }
        }
        ++sheetRow;
    };
    for (int r = 1; r < qMax(source.rows, 2); ++r) {
        if (!ws || sheetRow == kSheetRows) {
            ws = workbook_add_worksheet(wb, nullptr);
            sheetRow = 0;
            writeRow(header);
        }
        if (r >= source.rows)
            break;
        if (!source.take(r, cells)) {
            // Nothing of it is wanted: the library's scratch files go
            // with it, and ours with `scratch`.
            lxw_workbook_free(wb);
            return kCancelled;
        }
        writeRow(cells);
    }
    errno = 0;
    const lxw_error e = workbook_close(wb);
    // The system's reason where there is one; the library's words are
    // about its zip container.
    if (e != LXW_NO_ERROR)
        return errno ? QString::fromLocal8Bit(std::strerror(errno)) : QString::fromUtf8(lxw_strerror(e));
    return {};
}

enum class Format { Xls, Xlsx, Csv };

Format formatOf(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("xlsx") ? Format::Xlsx : suffix == QLatin1String("csv") ? Format::Csv : Format::Xls;
}

} // namespace

QString exportTable(const QString &path, const ExportSource &source)
{
    // Unbuffered: a write that fails is seen at once, with its reason (a
    // buffered one could fail in a flush nobody checks). The writers' own
    // scratch files go beside the target too, on the disk that must hold
    // the result anyway (the system's temporary folder may be memory, or
    // small).
    ReplaceFile file(path);
    if (const QString why = file.open(); !why.isEmpty())
        return why;
    QString error;
    switch (formatOf(path)) {
    case Format::Csv: error = writeCsv(file.file(), source); break;
    case Format::Xlsx: error = writeXlsx(file.scratchName(), source, file.folder()); break;
    case Format::Xls: error = writeXls(file.file(), source, file.folder()); break;
    }
    if (!error.isEmpty()) {
        file.cancel();
        return error;
    }
    return file.commit();
}
