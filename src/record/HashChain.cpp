#include "record/HashChain.h"

#include <QCryptographicHash>

namespace hashchain {

QByteArray genesis(const QString &uuid)
{
    return QCryptographicHash::hash(QStringLiteral("TQ800 recording %1").arg(uuid).toUtf8(),
                                    QCryptographicHash::Sha256);
}

QByteArray link(const QByteArray &previous, qint64 seq, const QString &kind, const QByteArray &body)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(previous);
    h.addData(QByteArray::number(seq));
    h.addData("\n");
    h.addData(kind.toUtf8());
    h.addData("\n");
    h.addData(body);
    return h.result();
}

namespace {

bool fits(const QByteArray &previous, qint64 seq, const Entry &e, const QByteArray &expected)
{
    return link(previous, seq, e.kind, e.body) == expected;
}

} // namespace

Verdict verify(const QByteArray &genesisHash, const std::function<bool(Entry &)> &next, bool finished)
{
    using K = Verdict::Kind;
    Verdict v;
    QByteArray previous = genesisHash;
    v.fingerprint = previous;
    qint64 expectSeq = 1;
    Entry cur, ahead;
    bool haveCur = next(cur);
    bool haveAhead = haveCur && next(ahead);
    while (haveCur) {
        ++v.entries;
        if (cur.seq == expectSeq && fits(previous, expectSeq, cur, cur.hash)) {
            previous = cur.hash;
            v.fingerprint = previous;
            ++expectSeq;
            cur = ahead;
            haveCur = haveAhead;
            haveAhead = haveCur && next(ahead);
            continue;
        }
        // The first entry that does not follow: say what most likely
        // happened, from the entry after it.
        v.seq = cur.seq;
        if (cur.seq > expectSeq) {
            // A gap in the numbering: entries were deleted.
            v.kind = K::Removed;
            v.seq = expectSeq;
            v.seqTo = cur.seq - 1;
        } else if (haveAhead
                   && ((fits(previous, expectSeq, ahead, ahead.hash) && fits(ahead.hash, expectSeq + 1, cur, cur.hash))
                       || (fits(previous, expectSeq, ahead, cur.hash) && fits(cur.hash, expectSeq + 1, cur, ahead.hash)))) {
            // The next entry belongs here and this one after it (whether
            // the hashes moved with the entries or stayed in place).
            v.kind = K::Reordered;
            v.seqTo = ahead.seq;
        } else if (haveAhead && fits(previous, expectSeq, ahead, ahead.hash)) {
            // The next entry follows the last good one: this one was put
            // in between (and the rest renumbered).
            v.kind = K::Inserted;
        } else if (!haveAhead || fits(cur.hash, expectSeq + 1, ahead, ahead.hash)) {
            // The chain goes on from this entry's own hash: its content changed.
            v.kind = K::Altered;
        } else {
            v.kind = K::Mismatch;
        }
        return v;
    }
    v.kind = finished ? K::Intact : K::EndsEarly;
    return v;
}

QString Verdict::text() const
{
    const QString fp = QString::fromLatin1(fingerprint.toHex());
    switch (kind) {
    case Kind::Intact:
        return QStringLiteral("intact: %1 entries, fingerprint %2").arg(entries).arg(fp);
    case Kind::EndsEarly:
        return QStringLiteral("ends early: %1 entries intact, the recording was not ended (a crash or power cut); "
                              "fingerprint %2").arg(entries).arg(fp);
    case Kind::Altered:
        return QStringLiteral("entry %1 was altered").arg(seq);
    case Kind::Removed:
        return seq == seqTo ? QStringLiteral("entry %1 was removed").arg(seq)
                            : QStringLiteral("entries %1 to %2 were removed").arg(seq).arg(seqTo);
    case Kind::Inserted:
        return QStringLiteral("entry %1 was inserted").arg(seq);
    case Kind::Reordered:
        return QStringLiteral("entries %1 and %2 were reordered").arg(seq).arg(seqTo);
    case Kind::Unreadable:
        return seq == seqTo ? QStringLiteral("entry %1 is unreadable: %2").arg(seq).arg(why)
                            : QStringLiteral("entries %1 to %2 are unreadable: %3").arg(seq).arg(seqTo).arg(why);
    case Kind::Mismatch:
        break;
    }
    return QStringLiteral("entry %1 does not match the chain").arg(seq);
}

} // namespace hashchain
