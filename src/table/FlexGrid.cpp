#include "table/FlexGrid.h"

FlexGrid::FlexGrid(QObject *parent) : QAbstractTableModel(parent)
{
    widths_.fill(975);   // the grid's own default width until a layout is set
    store_.setRows(kStartRows);
}

void FlexGrid::setRows(int rows)
{
    rows = qMax(rows, 1);
    const int before = store_.rows();
    if (rows == before)
        return;
    if (rows > before) {
        beginInsertRows({}, before - 1, rows - 2);
        store_.setRows(rows);
        endInsertRows();
    } else {
        beginRemoveRows({}, rows - 1, before - 2);
        store_.setRows(rows);
        for (auto it = highlight_.begin(); it != highlight_.end();)
            it = it.key() >= rows ? highlight_.erase(it) : std::next(it);
        endRemoveRows();
    }
}

QString FlexGrid::TextMatrix(int row, int col) const
{
    if (row == 0)
        return (col >= 0 && col < kCols) ? header_[std::size_t(col)] : QString();
    return store_.cell(row, col);
}

void FlexGrid::setTextMatrix(int row, int col, const QString &text)
{
    if (col < 0 || col >= kCols || row < 0 || row >= Rows())
        return;
    if (row == 0) {
        header_[std::size_t(col)] = text;
        emit headerDataChanged(Qt::Horizontal, col, col);
        emit headerChanged();
        return;
    }
    store_.setCell(row, col, text);
    const QModelIndex i = index(row - 1, col);
    emit dataChanged(i, i, {Qt::DisplayRole});
}

void FlexGrid::setCellBackColor(int row, int col, Shade shade)
{
    if (col < 0 || col >= kCols || row < 1 || row >= Rows())
        return;
    const quint8 bit = quint8(1u << col);
    auto it = highlight_.find(row);
    const quint8 before = it == highlight_.end() ? 0 : it.value();
    const quint8 after = shade == Shade::Highlight ? quint8(before | bit) : quint8(before & ~bit);
    if (after == before)
        return;
    if (after)
        highlight_[row] = after;
    else
        highlight_.erase(it);
    const QModelIndex i = index(row - 1, col);
    emit dataChanged(i, i, {ShadeRole});
}

FlexGrid::Shade FlexGrid::cellShade(int row, int col) const
{
    if (row >= 1 && (highlight_.value(row) >> col) & 1u)
        return Shade::Highlight;
    return (row == 0 || col == 0) ? Shade::Fixed : Shade::Window;
}

QList<int> FlexGrid::highlightedRows() const
{
    QList<int> rows = highlight_.keys();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void FlexGrid::setTopRow(int row)
{
    row = qBound(1, row, qMax(1, Rows() - 1));
    if (row == topRow_)
        return;
    topRow_ = row;
    emit topRowChanged(row);
}

void FlexGrid::Clear()
{
    beginResetModel();
    store_.clear();
    highlight_.clear();
    for (auto &h : header_)
        h.clear();
    endResetModel();
    emit headerDataChanged(Qt::Horizontal, 0, kCols - 1);
    emit headerChanged();
}

void FlexGrid::setFormatString(const QString &format)
{
    const QStringList parts = format.split(QLatin1Char('|'));
    for (int c = 0; c < kCols; ++c) {
        QString text = c < parts.size() ? parts[c] : QString();
        const bool centre = text.startsWith(QLatin1Char('^'));
        if (centre)
            text.remove(0, 1);
        header_[std::size_t(c)] = text;
        if (c < parts.size())
            centred_[std::size_t(c)] = centre;
    }
    emit headerDataChanged(Qt::Horizontal, 0, kCols - 1);
    emit headerChanged();
    if (Rows() > 1)
        emit dataChanged(index(0, 0), index(Rows() - 2, kCols - 1), {Qt::TextAlignmentRole});
}

void FlexGrid::setColWidth(int col, int twips)
{
    if (col < 0 || col >= kCols || widths_[std::size_t(col)] == twips)
        return;
    widths_[std::size_t(col)] = twips;
    emit columnWidthsChanged();
}

std::size_t FlexGrid::memoryBytes() const
{
    return store_.memoryBytes() + std::size_t(highlight_.capacity()) * 16;
}

int FlexGrid::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Rows() - 1;
}

int FlexGrid::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kCols;
}

QVariant FlexGrid::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const int row = index.row() + 1;
    switch (role) {
    case Qt::DisplayRole:
        return TextMatrix(row, index.column());
    case Qt::TextAlignmentRole:
        return colCentred(index.column()) ? int(Qt::AlignCenter) : int(Qt::AlignLeft | Qt::AlignVCenter);
    case ShadeRole:
        return int(cellShade(row, index.column()));
    default:
        return {};
    }
}

QVariant FlexGrid::headerData(int section, Qt::Orientation o, int role) const
{
    if (o != Qt::Horizontal || section < 0 || section >= kCols)
        return {};
    if (role == Qt::DisplayRole)
        return header_[std::size_t(section)];
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    return {};
}

ExportSource FlexGrid::exportSource(int lastRow) const
{
    ExportSource source;
    source.rows = lastRow + 1;
    source.read = [this](int row, ExportSource::Row &cells) {
        if (row == 0)
            cells = header_;
        else
            store_.readRow(row, cells);
    };
    source.readUtf8 = [this](int row, ExportSource::Utf8Row &cells) {
        if (row != 0) {
            store_.readRowUtf8(row, cells);
            return;
        }
        for (std::size_t c = 0; c < cells.size(); ++c) {
            headerUtf8_[c] = header_[c].toUtf8();
            cells[c] = {headerUtf8_[c].constData(), std::size_t(headerUtf8_[c].size())};
        }
    };
    return source;
}
