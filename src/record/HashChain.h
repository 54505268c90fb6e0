#pragma once
#include <QByteArray>
#include <QString>

#include <functional>
#include <string_view>

// The chain that makes a recording's entries (its rows and its events)
// tamper-evident. Entry i's hash is
//
//     SHA-256( hash(i-1) ‖ UTF-8 "<seq>\n<kind>\n<body>" )
//
// where seq counts the recording's entries from 1, kind is "row" or
// "event", body is the entry's JSON text exactly as stored, and hash(0),
// the genesis, is SHA-256 of UTF-8 "TQ800 recording <uuid>", so that no
// entry can be moved from one recording to another unnoticed. The last
// hash is the recording's fingerprint.
//
// The chain covers the whole record: entry 1 carries the recording's
// identity and its link in the store's ledger (Ledger.h); its end, a close,
// a restore, every export and report are entries too. A chain kept only in
// the store can be rewritten whole (one body changed, every later hash
// recomputed), so a file made of the recording carries a hash of it
// outward: the file's event is entry i, and a report or .xlsx carries
// hash(i). An entry's body cannot hold its own hash, so the body is settled
// first, hash(i) computed from it, the file written with hash(i), and the
// event appended after, only if the file was written; nothing else enters
// the chain between (AnchoredFile.h). An .xls, .csv or .jsonl cannot carry
// it, so it is written first and its SHA-256 goes into the body instead.
namespace hashchain {

struct Entry
{
    qint64 seq = 0;
    QString kind;
    QByteArray body;   // UTF-8
    QByteArray hash;   // 32 bytes
};

QByteArray genesis(const QString &uuid);
QByteArray link(const QByteArray &previous, qint64 seq, const QString &kind, const QByteArray &body);
// The same for bytes as the store holds them: whether the link is `hash`.
bool links(std::string_view previous, qint64 seq, std::string_view kind, std::string_view body, std::string_view hash);

// What a walk along the stored entries found.
struct Verdict
{
    // Unreadable: the store could not give the entries back (a damaged
    // file), which says nothing of whether they were changed or removed.
    enum class Kind { Intact, EndsEarly, Altered, Removed, Inserted, Reordered, Mismatch, Unreadable };
    Kind kind = Kind::Intact;
    qint64 seq = 0;          // the first entry that does not match
    qint64 seqTo = 0;        // removed, unreadable: the last one; reordered: the other entry
    QString why;             // unreadable: the store's reason
    qint64 entries = 0;      // entries read
    QByteArray fingerprint;  // the last hash that matched
    QString text() const;    // one line for a person
};

// Walks the entries in seq order, as `next` hands them (false when there
// are no more). `finished`: the recording was ended by Export, Exit or a
// close; an intact chain of an unfinished one "ends early".
Verdict verify(const QByteArray &genesisHash, const std::function<bool(Entry &)> &next, bool finished);

} // namespace hashchain
