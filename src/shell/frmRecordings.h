#pragma once
#include "record/RecordStore.h"
#include "shell/RecordingActions.h"

#include <QDialog>

#include <memory>

class QDialogButtonBox;
class QLabel;
class QTableView;
class RecordingsFilter;
class RecordingsModel;
class UiPrompts;

// The stored recordings in one dialog: filtered by a text, the days they
// started, the model and the sample; each can be opened read-only in a
// window of its own, verified, exported, reported, signed and noted. The
// store is read as tq800-log reads it (read-only, nothing changed), and a
// recording's chain is walked only when its verify is asked for.
class frmRecordings : public QDialog
{
    Q_OBJECT
public:
    // Every recording of the store in `folder`.
    frmRecordings(const QString &folder, UiPrompts &prompts, QWidget *parent = nullptr);
    ~frmRecordings() override;

    // Empty when the store could be listed, else why not.
    QString error() const { return error_; }
    RecordingsFilter &filter() { return *filter_; }
    // Who takes the event a file made here becomes (the window's recorder);
    // unset, the file carries the last entry's fingerprint and no event.
    void setAnchoring(recordingactions::Anchoring anchoring) { anchoring_ = std::move(anchoring); }

protected:
    // `recordings` of `store`, for a dialog that offers its own actions
    // (the restore offer): the list without the filters or buttons.
    frmRecordings(std::shared_ptr<RecordStore> store, const QList<RecordingInfo> &recordings, UiPrompts &prompts,
                  QWidget *parent);

    qint64 selectedId() const;
    const RecordingInfo *selected() const;
    void forget(qint64 id);
    int shown() const;
    // Says `error` in a box, if there is one; true when there was none.
    bool succeeded(const QString &error);

    QLabel *label_;
    QTableView *view_;
    QDialogButtonBox *buttons_;
    std::shared_ptr<RecordStore> store_;
    UiPrompts &prompts_;
    recordingactions::Anchoring anchoring_;

private:
    void build(const QList<RecordingInfo> &recordings);
    void addFilters();
    void addActions();
    void open();
    void verify();

    RecordingsModel *model_;
    RecordingsFilter *filter_;
    QString error_;
};
