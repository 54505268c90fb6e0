#include "record/StoredRows.h"

#include <QJsonArray>
#include <QJsonDocument>

StoredRows::StoredRows(RecordStore &store, const RecordingInfo &rec) : store_(store), rec_(rec)
{
    // The header and cause from the first event; the settings from the last
    // settings event.
    const bool read = store_.forEachEntry(rec_.id, QStringLiteral("event"), [this](const hashchain::Entry &e) {
        const QJsonObject o = QJsonDocument::fromJson(e.body).object();
        const QString name = o.value(QStringLiteral("event")).toString();
        if (name == QLatin1String("begin") && header_.isEmpty()) {
            for (const QJsonValue &v : o.value(QStringLiteral("header")).toArray())
                header_ << v.toString();
            cause_ = o.value(QStringLiteral("cause")).toString();
        } else if (name == QLatin1String("settings")) {
            lastSettings_ = o;
            lastSettingsSeq_ = e.seq;
        }
        return true;
    });
    if (!read)
        error_ = store_.error();
    while (header_.size() < 8)
        header_ << QString();
}

StoredRows::~StoredRows() = default;

void StoredRows::row(int row, std::array<QString, 8> &cells)
{
    cells.fill(QString());
    if (!cursor_ || row != cursorRow_ + 1) {
        // Anywhere but the next row: start a cursor there.
        cursor_ = std::make_unique<SqliteStatement>(
            store_.db(), "SELECT body FROM entry WHERE recording = ? AND kind = 'row' ORDER BY seq LIMIT -1 OFFSET ?");
        cursor_->bind(1, rec_.id).bind(2, qint64(row - 1));
    }
    cursorRow_ = row;
    auto failed = [&](QString &first, const QString &why) {
        if (first.isEmpty())
            first = QStringLiteral("reading recording %1's row %2: %3").arg(rec_.id).arg(row).arg(why);
    };
    if (!cursor_->step()) {
        if (cursor_->failed())
            failed(error_, store_.error());
        else
            failed(missing_, QStringLiteral("the store holds fewer rows than the recording lists (see --verify)"));
        return;
    }
    const QJsonValue v = QJsonDocument::fromJson(cursor_->text(0).toUtf8()).object().value(QStringLiteral("cells"));
    if (!v.isArray()) {
        failed(error_, QStringLiteral("its entry holds no cells"));
        return;
    }
    const QJsonArray a = v.toArray();
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
                cells[std::size_t(c)] = header_[c];
        } else if (r <= rows()) {
            row(r, cells);
        } else {
            cells.fill(QString());
        }
    };
    return s;
}
