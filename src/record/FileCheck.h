#pragma once
#include <QString>

class RecordStore;

// Whether the store's chain, as it is now, still holds a file made of one
// of its recordings (AnchoredFile.h): a report or an .xlsx by the
// fingerprint it carries, any other export by its SHA-256 in an export
// event. The chain is recomputed from its start up to that entry, so a
// recording rewritten since, every later hash recomputed to fit, no longer
// holds the file.
struct FileCheck
{
    bool matches = false;
    // "matches recording 3, entry 57, written 2026-12-07T10:15:02.114+01:00",
    // "does not match: ..." or why the file or the store could not be read.
    QString text;
};
FileCheck checkFile(RecordStore &store, const QString &file);
