#pragma once
#include "record/HashChain.h"
#include "record/RecordStore.h"

#include <QStringList>

// Everything --verify holds a stored recording against: its chain entry by
// entry (RecordStore::verify), its row in the store against the identity
// and the end its chain carries, and its place in the store's ledger
// (Ledger.h). A recording written before its chain carried these is checked
// as it was then, and `predates` says what it was not checked for.
struct Audit
{
    hashchain::Verdict chain;
    QStringList problems;   // the row, the ledger
    QString predates;       // empty: checked for everything
    bool holds() const;
    // "intact: ..." or the chain's verdict, then each problem and the note
    // on what was not checked, one line each.
    QStringList lines() const;
};

// `seen`, as for RecordStore::verify: every entry, in order.
Audit audit(RecordStore &store, const RecordingInfo &rec,
            const std::function<void(const hashchain::Entry &)> &seen = {});
