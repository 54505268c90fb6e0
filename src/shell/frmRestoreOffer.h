#pragma once
#include "record/RecordStore.h"

#include <QDialog>

class QListWidget;
class QPushButton;
class Recorder;
class UiPrompts;

// At start-up: the recordings that ended neither by Export nor by Exit, in
// one box. Each can be restored into the table (and logged on), exported,
// or closed (marked ended; nothing is deleted). The box does not hold the
// window up: readings go on landing while it waits.
class frmRestoreOffer : public QDialog
{
    Q_OBJECT
public:
    frmRestoreOffer(Recorder &recorder, UiPrompts &prompts, const QList<RecordingInfo> &recordings,
                    QWidget *parent = nullptr);

    static QString describe(const RecordingInfo &r);

private:
    void act(int what);
    // The restore, with a progress dialog that can cancel it.
    QString restoreWithProgress(qint64 id, bool &cancelled);
    qint64 selectedId() const;

    Recorder &recorder_;
    UiPrompts &prompts_;
    QListWidget *list_;
    QPushButton *restore_, *export_, *close_;
};
