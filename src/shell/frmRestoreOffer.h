#pragma once
#include "shell/frmRecordings.h"

class Recorder;

// At start-up: the recordings that ended neither by Export nor by Exit, in
// the Recordings list. Each can be restored into the table (and logged on),
// exported, or closed (marked ended; nothing is deleted). The box does not
// hold the window up: readings go on landing while it waits.
class frmRestoreOffer : public frmRecordings
{
    Q_OBJECT
public:
    frmRestoreOffer(Recorder &recorder, UiPrompts &prompts, const QList<RecordingInfo> &recordings,
                    QWidget *parent = nullptr);

private:
    void act(int what);
    // The restore, with a progress dialog that can cancel it.
    QString restoreWithProgress(qint64 id, bool &cancelled);

    Recorder &recorder_;
};
