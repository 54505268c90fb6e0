#pragma once
#include <QList>
#include <QString>

#include <array>
#include <functional>
#include <string_view>
#include <utility>

// The rows an export writes, read one at a time so that no writer ever
// holds a copy of the table: row 0 is the header, then the data rows; each
// row is eight texts, an empty text an empty cell.
struct ExportSource
{
    using Row = std::array<QString, 8>;
    using Utf8Row = std::array<std::string_view, 8>;
    static constexpr int kProgressStep = 4096;   // rows between progress reports

    int rows = 0;
    std::function<void(int row, Row &cells)> read;
    // May be empty: the same rows as UTF-8, for a source that holds them so
    // (a writer of UTF-8 then converts nothing). The views hold until the
    // next read.
    std::function<void(int row, Utf8Row &cells)> readUtf8;
    // May be empty; answers false when the user cancelled the export.
    std::function<bool(int done, int total)> progress;
    mutable bool cancelled = false;
    // Name and text of document properties, for the formats that keep them
    // beside the table (.xlsx): which recording this is and its fingerprint.
    QList<std::pair<QString, QString>> properties;

    // Reads row `row` and reports progress every few thousand rows; false
    // once the export was cancelled (the writer then stops, and the file
    // is not made).
    bool take(int row, Row &cells) const
    {
        read(row, cells);
        return reported(row);
    }
    // The same as UTF-8, from readUtf8 where the source has it.
    bool takeUtf8(int row, Utf8Row &cells) const
    {
        if (readUtf8) {
            readUtf8(row, cells);
        } else {
            read(row, texts_);
            for (std::size_t c = 0; c < cells.size(); ++c) {
                bytes_[c] = texts_[c].toUtf8();
                cells[c] = {bytes_[c].constData(), std::size_t(bytes_[c].size())};
            }
        }
        return reported(row);
    }

private:
    bool reported(int row) const
    {
        if (progress && row > 0 && row % kProgressStep == 0 && !progress(row, rows))
            cancelled = true;
        return !cancelled;
    }
    mutable Row texts_;
    mutable std::array<QByteArray, 8> bytes_;
};
