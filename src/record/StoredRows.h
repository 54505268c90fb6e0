#pragma once
#include "record/RecordStore.h"
#include "table/ExportSource.h"

#include <QJsonObject>
#include <QStringList>

#include <array>
#include <memory>

class SqliteStatement;

// A stored recording read back: its table (header and rows, in order, with
// a cursor that walks forward so an export reads each row once), the
// settings it ended with, and what began it.
class StoredRows
{
public:
    StoredRows(RecordStore &store, const RecordingInfo &rec);
    ~StoredRows();

    int rows() const { return int(rec_.rows); }
    const QStringList &header() const { return header_; }
    QString cause() const { return cause_; }
    const QJsonObject &lastSettings() const { return lastSettings_; }
    qint64 lastSettingsSeq() const { return lastSettingsSeq_; }

    // Data row `row` (1-based), in the order they were logged. A row the
    // store cannot give back comes out empty and sets error().
    void row(int row, std::array<QString, 8> &cells);
    // Empty while everything read so far was read; else the first failure,
    // with the recording and the row or entry ("reading recording 3's row
    // 17: database disk image is malformed"). Whoever writes the rows out
    // checks it: an empty row is never passed off as a reading.
    QString error() const { return error_; }
    // Empty unless a row the recording lists is not in the store (entries
    // were deleted: verify names them), said like error(). A report shows
    // the verdict instead; an export, which would write it as a blank row,
    // stops.
    QString missing() const { return missing_; }

    // The table as the window's Export writes it: the header, every row and
    // the empty row below the last.
    ExportSource exportSource();

private:
    RecordStore &store_;
    RecordingInfo rec_;
    QStringList header_;
    QString cause_;
    QJsonObject lastSettings_;
    qint64 lastSettingsSeq_ = 0;
    QString error_, missing_;
    std::unique_ptr<SqliteStatement> cursor_;
    int cursorRow_ = 0;   // the row the cursor last gave
};
