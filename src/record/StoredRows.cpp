#include "record/StoredRows.h"

#include "record/ReadAhead.h"
#include "record/RowCells.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <limits>

StoredRows::StoredRows(RecordStore &store, const RecordingInfo &rec) : store_(store), rec_(rec) {}

void StoredRows::apply(qint64 seq, const QJsonObject &o) const
{
    // The header and cause from the first begin event that has a header;
    // the settings from the last settings event.
    const QString name = o.value(QStringLiteral("event")).toString();
    if (name == QLatin1String("begin") && header_.isEmpty()) {
        for (const QJsonValue &v : o.value(QStringLiteral("header")).toArray())
            header_ << v.toString();
        cause_ = o.value(QStringLiteral("cause")).toString();
    } else if (name == QLatin1String("settings")) {
        lastSettings_ = o;
        lastSettingsSeq_ = seq;
    } else if (name == QLatin1String("gap")) {
        const int row = o.value(QStringLiteral("row")).toInt();
        if (row >= 2 && (gaps_.empty() || gaps_.back() < row))
            gaps_.push_back(row);
    }
}

void StoredRows::takeEvent(qint64 seq, const QJsonObject &event)
{
    apply(seq, event);
}

void StoredRows::eventsTaken()
{
    settingsKnown_ = true;
    eventsDone();
}

void StoredRows::eventsDone() const
{
    headerKnown_ = true;
    while (header_.size() < 8)
        header_ << QString();
    for (int c = 0; c < 8; ++c)
        headerUtf8_[std::size_t(c)] = header_[c].toUtf8();
}

void StoredRows::walkEvents(bool all) const
{
    // The header is usually in the first few entries: an export, which
    // needs nothing else, stops there. A walk to the end starts afresh.
    header_.clear();
    cause_.clear();
    lastSettings_ = {};
    lastSettingsSeq_ = 0;
    gaps_.clear();
    const bool read = store_.forEachEntry(rec_.id, QStringLiteral("event"), [this, all](const hashchain::Entry &e) {
        apply(e.seq, QJsonDocument::fromJson(e.body).object());
        return all || header_.isEmpty();
    });
    if (!read && error_.isEmpty())
        error_ = store_.error();
    // A walk that found no header went to the end all the same.
    settingsKnown_ = settingsKnown_ || all || header_.isEmpty();
    eventsDone();
}

const QStringList &StoredRows::header() const
{
    if (!headerKnown_)
        walkEvents(false);
    return header_;
}

QString StoredRows::cause() const
{
    // (Where no begin event has a header, the walk went to the end, and the
    // last begin event's cause stands.)
    if (!headerKnown_)
        walkEvents(false);
    return cause_;
}

const QJsonObject &StoredRows::lastSettings() const
{
    if (!settingsKnown_)
        walkEvents(true);
    return lastSettings_;
}

const std::vector<int> &StoredRows::gaps() const
{
    if (!settingsKnown_)
        walkEvents(true);
    return gaps_;
}

qint64 StoredRows::lastSettingsSeq() const
{
    if (!settingsKnown_)
        walkEvents(true);
    return lastSettingsSeq_;
}

StoredRows::~StoredRows() = default;

QString StoredRows::error() const
{
    if (!headerKnown_)
        walkEvents(false);
    return error_;
}

void StoredRows::failed(QString &first, int row, const QString &why) const
{
    if (first.isEmpty())
        first = QStringLiteral("reading recording %1's row %2: %3").arg(rec_.id).arg(row).arg(why);
}

bool StoredRows::seek(int row)
{
    if (row < 1)
        return false;
    // Anywhere but the next row: start anew, from the nearest row whose seq
    // a read has passed (rows and events share the seqs, so only counting
    // the rows finds row n).
    const bool anew = (!ahead_ && !cursor_) || row != cursorRow_ + 1;
    const int k = std::min((row - 1) / kMarkRows, int(marks_.size()) - 1);
    const qint64 fromSeq = k < 0 ? std::numeric_limits<qint64>::min() : marks_[std::size_t(k)];
    const qint64 skip = qint64(row - 1) - (k < 0 ? 0 : qint64(k) * kMarkRows);
    if (anew) {
        cursor_.reset();
        ahead_ = std::make_unique<ReadAhead>(RecordStore::fileIn(store_.folder()), ReadAhead::What::RowCells, rec_.id,
                                             fromSeq, skip);
    }
    item_ = nullptr;
    if (ahead_) {
        item_ = ahead_->next();
        if (!item_ && ahead_->failed() && !ahead_->error().isEmpty()) {
            // The store gave the rows before and failed on this one.
            failed(error_, row, ahead_->error());
            ahead_.reset();
            cursorRow_ = 0;
            return false;
        } else if (!item_ && ahead_->failed()) {
            // The reading ahead could not start (its own connection would
            // not open): this connection reads on from here.
            ahead_.reset();
        } else if (!item_) {
            failed(missing_, row, QStringLiteral("the store holds fewer rows than the recording lists (see --verify)"));
            ahead_.reset();
            cursorRow_ = 0;
            return false;
        }
    }
    if (!ahead_) {
        if (!cursor_) {
            cursor_ = std::make_unique<SqliteStatement>(
                store_.db(), "SELECT seq, body FROM entry WHERE recording = ? AND kind = 'row' AND seq >= ? "
                             "ORDER BY seq LIMIT -1 OFFSET ?");
            cursor_->bind(1, rec_.id).bind(2, fromSeq).bind(3, skip);
        }
        if (!cursor_->step()) {
            if (cursor_->failed())
                failed(error_, row, store_.error());
            else
                failed(missing_, row, QStringLiteral("the store holds fewer rows than the recording lists (see --verify)"));
            // A finished statement would start again from the top: the
            // next read begins anew.
            cursor_.reset();
            cursorRow_ = 0;
            return false;
        }
    }
    cursorRow_ = row;
    if ((row - 1) % kMarkRows == 0 && (row - 1) / kMarkRows == qint64(marks_.size()))
        marks_.push_back(item_ ? item_->seq : cursor_->integer(0));
    return true;
}

bool StoredRows::quickCells(ExportSource::Utf8Row &cells)
{
    if (!item_)
        return rowcells::scan(cursor_->bytes(1), cells, scratch_);
    if (!item_->scanned)
        return false;
    for (std::size_t c = 0; c < cells.size(); ++c)
        cells[c] = ahead_->text(item_->cells[c]);
    return true;
}

QJsonArray StoredRows::parsedCells()
{
    parsedAny_ = true;
    const std::string_view body = item_ ? ahead_->text(item_->body) : cursor_->bytes(1);
    const QJsonValue v = QJsonDocument::fromJson(QByteArray(body.data(), qsizetype(body.size())))
                             .object()
                             .value(QStringLiteral("cells"));
    if (!v.isArray())
        failed(error_, cursorRow_, QStringLiteral("its entry holds no cells"));
    return v.toArray();
}

void StoredRows::rowUtf8(int row, ExportSource::Utf8Row &cells)
{
    if (!seek(row)) {
        cells.fill({});
        return;
    }
    if (quickCells(cells))
        return;
    // What the quick reader does not take, the full parser reads, and says
    // what the cells are.
    const QJsonArray a = parsedCells();
    for (int c = 0; c < 8; ++c) {
        QByteArray &bytes = parsed_[std::size_t(c)];
        bytes = c < a.size() ? a[c].toString().toUtf8() : QByteArray();
        cells[std::size_t(c)] = std::string_view(bytes.constData(), std::size_t(bytes.size()));
    }
}

void StoredRows::row(int row, std::array<QString, 8> &cells)
{
    cells.fill(QString());
    if (!seek(row))
        return;
    ExportSource::Utf8Row utf8;
    if (quickCells(utf8)) {
        for (std::size_t c = 0; c < cells.size(); ++c)
            if (!utf8[c].empty())
                cells[c] = QString::fromUtf8(utf8[c].data(), qsizetype(utf8[c].size()));
        return;
    }
    const QJsonArray a = parsedCells();
    for (int c = 0; c < 8 && c < a.size(); ++c)
        cells[std::size_t(c)] = a[c].toString();
}

ExportSource StoredRows::exportSource()
{
    ExportSource s;
    s.rows = rows() + 2;   // the header, the rows, the empty row below them
    s.read = [this](int r, ExportSource::Row &cells) {
        if (r == 0) {
            for (int c = 0; c < 8; ++c)
                cells[std::size_t(c)] = header()[c];
        } else if (r <= rows()) {
            row(r, cells);
        } else {
            cells.fill(QString());
        }
    };
    s.readUtf8 = [this](int r, ExportSource::Utf8Row &cells) {
        if (r == 0) {
            header();
            for (std::size_t c = 0; c < cells.size(); ++c)
                cells[c] = std::string_view(headerUtf8_[c].constData(), std::size_t(headerUtf8_[c].size()));
        } else if (r <= rows()) {
            rowUtf8(r, cells);
        } else {
            cells.fill({});
        }
    };
    return s;
}
