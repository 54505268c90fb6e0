#pragma once
#include "record/RecordStore.h"
#include "shell/RecordingActions.h"

#include <QWidget>

#include <memory>

struct ReplayedCore;
class UiPrompts;

// One stored recording, read-only, in a window of its own: its table and
// chart as the window drew them while it was recorded (the same widgets,
// fed from a core the recording is replayed into: no port, no editing, no
// recording), with Export, Report, Sign and Note for it.
class frmRecordingView : public QWidget
{
    Q_OBJECT
public:
    // `anchoring`: who takes the event an export or report made here becomes.
    frmRecordingView(std::shared_ptr<RecordStore> store, const RecordingInfo &rec, UiPrompts &prompts,
                     recordingactions::Anchoring anchoring, QWidget *parent = nullptr);
    ~frmRecordingView() override;

    // Replays the recording into the view; empty when it could be read
    // whole, else why not (the view then shows nothing of it).
    QString load();

private:
    void act(const QString &error);

    std::shared_ptr<RecordStore> store_;
    RecordingInfo rec_;
    UiPrompts &prompts_;
    recordingactions::Anchoring anchoring_;
    std::unique_ptr<ReplayedCore> replayed_;
};
