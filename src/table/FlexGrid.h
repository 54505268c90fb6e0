#pragma once
#include "table/ExportSource.h"
#include "table/RowStore.h"

#include <QAbstractTableModel>
#include <QHash>
#include <array>

// The data table (MSFlexGrid1): eight text columns, a fixed header row 0 and
// a fixed first column, data rows from 1. This object is the grid's whole
// state and, as a table model, what the view shows: model row i is grid row
// i + 1 and the header row is the view's horizontal header.
class FlexGrid : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int kCols = RowStore::kColumns;
    static constexpr int kStartRows = 12;

    // Background of a cell: the fixed colour (button face) for column 0, the
    // window colour elsewhere, or the highlight of the newest row.
    enum class Shade { Fixed, Window, Highlight };
    static constexpr int ShadeRole = Qt::UserRole + 1;

    explicit FlexGrid(QObject *parent = nullptr);

    int Rows() const { return store_.rows(); }
    void setRows(int rows);

    QString TextMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString &text);

    void setCellBackColor(int row, int col, Shade shade);
    Shade cellShade(int row, int col) const;
    // Rows that carry the highlight in at least one cell (normally one).
    QList<int> highlightedRows() const;

    int TopRow() const { return topRow_; }
    void setTopRow(int row);

    // Empties every cell, header included, and every cell colour; keeps the
    // row count, the widths and the alignment.
    void Clear();

    // Header from "^sn|^Date|..." : "|" separates columns, "^" centres one.
    void setFormatString(const QString &format);
    bool colCentred(int col) const { return centred_[std::size_t(col)]; }
    int ColWidth(int col) const { return widths_[std::size_t(col)]; }
    void setColWidth(int col, int twips);

    std::size_t memoryBytes() const;

    // Rows before `row` are read as empty from now on, their memory freed.
    void forgetRowsBefore(int row) { store_.forgetBefore(row); }

    // Rows 0 (the header) to `lastRow` for an export, read as it goes.
    ExportSource exportSource(int lastRow) const;

    // QAbstractTableModel
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

signals:
    void topRowChanged(int row);
    void columnWidthsChanged();
    void headerChanged();

private:
    RowStore store_;
    std::array<QString, kCols> header_;
    mutable std::array<QByteArray, kCols> headerUtf8_;   // for an export's UTF-8 reads
    std::array<bool, kCols> centred_{};
    std::array<int, kCols> widths_;
    QHash<int, quint8> highlight_;   // row -> bit mask of highlighted columns
    int topRow_ = 1;
};
