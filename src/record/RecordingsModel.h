#pragma once
#include "record/RecordStore.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QHash>
#include <QSortFilterProxyModel>

// The stored recordings as the Recordings dialog lists them, one a row.
// What costs a walk over a recording's entries (its verify state) is not
// known on listing: it is set per recording when asked for, so a store of
// any size opens at once.
class RecordingsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Id, Started, Ended, Model, Device, Rows, Sample, Verified, Signatures, ColumnCount };
    // The recording's id under every cell, for whoever acts on a row.
    static constexpr int IdRole = Qt::UserRole + 1;

    explicit RecordingsModel(QObject *parent = nullptr);

    void setRecordings(const QList<RecordingInfo> &recordings);
    void removeRecording(qint64 id);
    const RecordingInfo *recording(qint64 id) const;
    qint64 idAt(int row) const;

    // What a verify of recording `id` found ("intact: 12 entries, ...").
    void setVerdict(qint64 id, const QString &verdict, bool holds);
    // The recording's sample and signatures where the store keeps them.
    void setAnnotations(qint64 id, const QString &sample, const QString &signatures);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Extra
    {
        QString verdict, sample, signatures;
        bool verified = false, holds = false;
    };
    QString text(const RecordingInfo &r, const Extra &x, int column) const;
    void changedRow(qint64 id);

    QList<RecordingInfo> recordings_;
    QHash<qint64, Extra> extra_;
};

// The dialog's filter: a text anywhere in the row, the day it started
// within a range, the model and the sample each containing a text (any
// case). An empty text or an invalid day does not filter.
class RecordingsFilter : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit RecordingsFilter(QObject *parent = nullptr);
    void setText(const QString &text);
    void setDays(const QDate &from, const QDate &to);
    void setModelText(const QString &text);
    void setSample(const QString &text);

protected:
    bool filterAcceptsRow(int row, const QModelIndex &parent) const override;
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    QString text_, model_, sample_;
    QDate from_, to_;
};
