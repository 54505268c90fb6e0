#pragma once
#include "record/RecordStore.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <functional>
#include <utility>

// A file made of a recording (an export, a report) anchored in its chain, so
// that a copy kept anywhere can later show whether the store still holds
// the recording as it was when the file was made.
//
// The file is itself an event of the chain: entry i, "export" or "report",
// with who made it, where and when. A report and an .xlsx carry hash(i), the
// fingerprint of the chain up to and including that event (the event's body
// cannot hold its own hash, so the body is settled first, hash(i) computed,
// the file written with it, and the event appended: only when the file was
// written). An .xls, .csv or .jsonl has no room for it that its readers
// would not trip over, so the other way round: the file is written first,
// and its SHA-256 goes into the event's body.
struct Anchor
{
    qint64 recording = 0;   // 0: not anchored (the recording was never stored)
    QString uuid;
    qint64 seq = 0;         // the entry whose hash the file carries
    QByteArray fingerprint; // that hash
    bool recorded = false;  // the entry is the file's own event (else the last before it)
    bool valid() const { return recording > 0; }
};

// The custom document properties of an .xlsx: the recording's id and uuid,
// the entry and its fingerprint.
QList<std::pair<QString, QString>> anchorProperties(const Anchor &a);
// The line a report's metadata carries, and reading it back.
QString anchorMark(const Anchor &a);
bool readAnchorMark(const QByteArray &text, Anchor &a);

// Whether a file of this name carries its fingerprint (.xlsx, .pdf) rather
// than having its SHA-256 in the chain.
bool carriesFingerprint(const QString &file);
QString fileSha256(const QString &file);

// The format a file of this name is written in: xlsx, csv, jsonl, pdf, xls.
QString fileFormat(const QString &file);
// The event a file's writing becomes, with who made it: `name` ("export",
// "report"), the file, its format and `fields`, stamped with the computer's
// time.
QJsonObject fileEvent(const QString &name, const QString &file, QJsonObject fields);

// Writes `file` of stored recording `id` by `write`, which gets the anchor
// the file is to carry, and appends its event. A recording another program
// is writing, or a store opened read-only, takes no event: the file then
// carries the fingerprint of the last entry, and `notice` says so. Empty on
// success, else why not (the file's writer's words, or the store's).
QString writeAnchored(RecordStore &store, qint64 id, const QString &file, QJsonObject event,
                      const std::function<QString(const Anchor &)> &write, QString *notice);

// One of the writeAnchored()s bound to its recording, file and event: it
// writes the file by the writer it is given and makes it an event. Lets the
// code that knows how to write a file leave to its caller whose chain (a
// store's, or the window's recorder's) takes the event.
using AnchoredWrite = std::function<QString(const std::function<QString(const Anchor &)> &write)>;
