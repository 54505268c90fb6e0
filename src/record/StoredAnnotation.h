#pragma once
#include "record/RecordStore.h"

#include <QJsonObject>
#include <QString>

#include <functional>

// Adds the event `name` (a note, a signature) with `fields` to stored
// recording `id` of the store in `folder`, after its last entry (its end,
// when it has ended: the recording stays ended). `signs`: over the
// fingerprint and length of the chain before it. `check` may refuse the
// recording as it is (a note on rows it does not have). A recording that
// a running program is writing is refused: that program adds to it.
// Empty on success (`after`, where given, gets the recording), else why not.
QString addToStored(const QString &folder, qint64 id, const QString &name, const QJsonObject &fields, bool signs,
                    const std::function<QString(const RecordingInfo &)> &check = {}, RecordingInfo *after = nullptr);
