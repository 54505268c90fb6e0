#pragma once
#include "record/ReadAhead.h"
#include "record/RecordStore.h"
#include "table/ExportSource.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

#include <array>
#include <memory>
#include <string>
#include <vector>

class SqliteStatement;

// A stored recording read back: its table (header and rows, in order, with
// a cursor that walks forward so an export reads each row once), the
// settings it ended with, and what began it.
//
// What the events say is read when first asked for: the header and the
// cause from the recording's first entries; the last settings, which only a
// replay needs, by a walk over every event. A caller that walks the events
// anyway (the report) hands them over instead, and no walk is needed.
class StoredRows
{
public:
    StoredRows(RecordStore &store, const RecordingInfo &rec);
    ~StoredRows();

    int rows() const { return int(rec_.rows); }
    const QStringList &header() const;
    QString cause() const;
    const QJsonObject &lastSettings() const;
    qint64 lastSettingsSeq() const;
    // The rows with a hole in the log before them (a crash, a power cut:
    // each "gap" event names the first row after it), ascending.
    const std::vector<int> &gaps() const;

    // Every event of the recording (kind "event"), in order, from the
    // caller's own walk, before anything else is asked; then eventsTaken().
    void takeEvent(qint64 seq, const QJsonObject &event);
    void eventsTaken();

    // Data row `row` (1-based), in the order they were logged. Reading on
    // from the row before costs one step; a jump starts from the nearest
    // row a read has passed before. A row the store cannot give back comes
    // out empty and sets error().
    void row(int row, std::array<QString, 8> &cells);
    // The same as UTF-8, as stored: the views hold until the next read.
    void rowUtf8(int row, ExportSource::Utf8Row &cells);

    // Empty while everything read so far was read (the header is read
    // first); else the first failure, with the recording and the row or
    // entry ("reading recording 3's row 17: database disk image is
    // malformed"). Whoever writes the rows out checks it: an empty row is
    // never passed off as a reading.
    QString error() const;
    // Empty unless a row the recording lists is not in the store (entries
    // were deleted: verify names them), said like error(). A report shows
    // the verdict instead; an export, which would write it as a blank row,
    // stops.
    QString missing() const { return missing_; }

    // Some row's body was past the quick reader, and the full parser read
    // it: its texts may hold what UTF-8 cannot (a lone surrogate).
    bool parsedAny() const { return parsedAny_; }

    // The table as the window's Export writes it: the header, every row and
    // the empty row below the last.
    ExportSource exportSource();

private:
    // One event, in order, into what the events say.
    void apply(qint64 seq, const QJsonObject &event) const;
    // Walks the events until the header is known, or (`all`) to the end.
    void walkEvents(bool all) const;
    void eventsDone() const;
    // Puts the cursor on data row `row`; false when the store has no such row.
    bool seek(int row);
    // The current row's cells as UTF-8; false when its body is for the
    // full JSON parser, which parsedCells() runs.
    bool quickCells(ExportSource::Utf8Row &cells);
    QJsonArray parsedCells();
    // Keeps the first failure of reading `row` in `first`.
    void failed(QString &first, int row, const QString &why) const;

    // The cursor's row seq of every kMarkRows-th row, as reads passed them.
    static constexpr int kMarkRows = 4096;

    RecordStore &store_;
    RecordingInfo rec_;
    mutable QStringList header_;
    mutable QString cause_;
    mutable QJsonObject lastSettings_;
    mutable qint64 lastSettingsSeq_ = 0;
    mutable std::vector<int> gaps_;
    mutable QString error_;
    QString missing_;
    mutable std::array<QByteArray, 8> headerUtf8_;
    mutable bool headerKnown_ = false, settingsKnown_ = false;
    // The rows are read ahead on a thread of their own, or where that
    // cannot be, on the store's connection.
    std::unique_ptr<ReadAhead> ahead_;
    const ReadAhead::Item *item_ = nullptr;   // the current row, when read ahead
    std::unique_ptr<SqliteStatement> cursor_;
    int cursorRow_ = 0;   // the row the reading is on, 0 for none
    std::vector<qint64> marks_;   // marks_[k]: the seq of row k * kMarkRows + 1
    std::string scratch_;                   // unescaped cells
    std::array<QByteArray, 8> parsed_;      // cells of a body the quick reader left to the parser
    bool parsedAny_ = false;
};
