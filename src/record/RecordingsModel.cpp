#include "record/RecordingsModel.h"

#include "record/StoreListing.h"
#include "text/VisibleText.h"

#include <iterator>

namespace {

// The columns' headings, in Column order.
const char *const kHeadings[] = {"Id", "Started", "Ended", "Model", "Device", "Rows", "Sample", "Verified", "Signatures"};
static_assert(std::size(kHeadings) == std::size_t(RecordingsModel::ColumnCount));

// The day a recording started, as its own clock gave it.
QDate startDay(const QString &started)
{
    return QDate::fromString(started.left(10), Qt::ISODate);
}

} // namespace

RecordingsModel::RecordingsModel(QObject *parent) : QAbstractTableModel(parent) {}

void RecordingsModel::setRecordings(const QList<RecordingInfo> &recordings)
{
    beginResetModel();
    recordings_ = recordings;
    extra_.clear();
    endResetModel();
}

void RecordingsModel::removeRecording(qint64 id)
{
    for (int row = 0; row < recordings_.size(); ++row)
        if (recordings_[row].id == id) {
            beginRemoveRows(QModelIndex(), row, row);
            recordings_.removeAt(row);
            extra_.remove(id);
            endRemoveRows();
            return;
        }
}

const RecordingInfo *RecordingsModel::recording(qint64 id) const
{
    for (const RecordingInfo &r : recordings_)
        if (r.id == id)
            return &r;
    return nullptr;
}

qint64 RecordingsModel::idAt(int row) const
{
    return row >= 0 && row < recordings_.size() ? recordings_[row].id : 0;
}

void RecordingsModel::changedRow(qint64 id)
{
    for (int row = 0; row < recordings_.size(); ++row)
        if (recordings_[row].id == id)
            emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void RecordingsModel::setVerdict(qint64 id, const QString &verdict, bool holds)
{
    Extra &x = extra_[id];
    x.verdict = verdict;
    x.verified = true;
    x.holds = holds;
    changedRow(id);
}

void RecordingsModel::setAnnotations(qint64 id, const QString &sample, const QString &signatures)
{
    Extra &x = extra_[id];
    x.sample = sample;
    x.signatures = signatures;
    changedRow(id);
}

int RecordingsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(recordings_.size());
}

int RecordingsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString RecordingsModel::text(const RecordingInfo &r, const Extra &x, int column) const
{
    switch (Column(column)) {
    case Id: return QString::number(r.id);
    case Started: return r.started;
    case Ended: return storelisting::endText(r);
    case Model: return storelisting::modelText(r);
    case Device: return storelisting::deviceText(r);
    case Rows: return QString::number(r.rows);
    case Sample: return x.sample;
    case Verified: return x.verified ? x.verdict : QStringLiteral("not checked");
    case Signatures: return x.signatures;
    case ColumnCount: break;
    }
    return {};
}

QVariant RecordingsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= recordings_.size())
        return {};
    const RecordingInfo &r = recordings_[index.row()];
    const Extra x = extra_.value(r.id);
    if (role == IdRole)
        return r.id;
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        // What the meter's line gave is shown, never obeyed.
        return visibletext::visible(text(r, x, index.column()));
    if (role == Qt::TextAlignmentRole && (index.column() == Id || index.column() == Rows))
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant RecordingsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromLatin1(kHeadings[section]);
}

RecordingsFilter::RecordingsFilter(QObject *parent) : QSortFilterProxyModel(parent)
{
    setSortRole(RecordingsModel::IdRole);
}

void RecordingsFilter::setText(const QString &text)
{
    text_ = text.trimmed();
    invalidateFilter();
}

void RecordingsFilter::setDays(const QDate &from, const QDate &to)
{
    from_ = from;
    to_ = to;
    invalidateFilter();
}

void RecordingsFilter::setModelText(const QString &text)
{
    model_ = text.trimmed();
    invalidateFilter();
}

void RecordingsFilter::setSample(const QString &text)
{
    sample_ = text.trimmed();
    invalidateFilter();
}

bool RecordingsFilter::filterAcceptsRow(int row, const QModelIndex &parent) const
{
    const QAbstractItemModel *m = sourceModel();
    auto cell = [&](int column) { return m->index(row, column, parent).data().toString(); };
    // 1. The day it started, within the range where one is given.
    const QDate day = startDay(cell(RecordingsModel::Started));
    if ((from_.isValid() && (!day.isValid() || day < from_)) || (to_.isValid() && (!day.isValid() || day > to_)))
        return false;
    // 2. The model and the sample, each containing its text.
    if (!model_.isEmpty() && !cell(RecordingsModel::Model).contains(model_, Qt::CaseInsensitive))
        return false;
    if (!sample_.isEmpty() && !cell(RecordingsModel::Sample).contains(sample_, Qt::CaseInsensitive))
        return false;
    // 3. The free text, in any column.
    if (text_.isEmpty())
        return true;
    for (int c = 0; c < RecordingsModel::ColumnCount; ++c)
        if (cell(c).contains(text_, Qt::CaseInsensitive))
            return true;
    return false;
}

bool RecordingsFilter::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    // Numbers by value, everything else by its text.
    const int column = left.column();
    if (column == RecordingsModel::Id || column == RecordingsModel::Rows)
        return left.data().toString().toLongLong() < right.data().toString().toLongLong();
    return left.data().toString() < right.data().toString();
}
