#pragma once
#include "record/AnchoredFile.h"
#include "record/RecordStore.h"

// Writes stored recording `rec` to `file` as the window's Export would,
// in the kind the name (and `tidyCsv`) asks for: the table as it was
// shown (.xls, .xlsx, .csv), or its readings (.jsonl, a .csv of one
// reading a row). Empty on success, else why not; an entry the store
// cannot give back is such a failure (with its recording and row), and
// the file is then not made. An .xlsx carries `anchor` (AnchoredFile.h).
QString exportStoredRecording(RecordStore &store, const RecordingInfo &rec, const QString &file, bool tidyCsv,
                              const Anchor &anchor = {});
