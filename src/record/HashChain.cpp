#include "record/HashChain.h"

#include <QCryptographicHash>

#include <openssl/evp.h>

#include <memory>

namespace hashchain {

QByteArray genesis(const QString &uuid)
{
    return QCryptographicHash::hash(QStringLiteral("TQ800 recording %1").arg(uuid).toUtf8(),
                                    QCryptographicHash::Sha256);
}

namespace {

// SHA-256 from the system's crypto library, which uses the processor's own
// instructions where it has them: a verify hashes every entry of a
// recording, ten million of them for a few months of readings, and Qt's
// portable code takes several times as long. The digest is looked up once;
// each thread keeps one context.
struct Sha256
{
    EVP_MD *md = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    ~Sha256() { EVP_MD_free(md); }
};

struct Context
{
    EVP_MD_CTX *ctx = EVP_MD_CTX_new();
    ~Context() { EVP_MD_CTX_free(ctx); }
};

} // namespace

QByteArray link(const QByteArray &previous, qint64 seq, const QString &kind, const QByteArray &body)
{
    static const Sha256 sha;
    thread_local const Context context;
    const QByteArray number = QByteArray::number(seq);
    const QByteArray kindUtf8 = kind.toUtf8();
    EVP_MD_CTX *c = context.ctx;
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (sha.md && c && EVP_DigestInit_ex2(c, sha.md, nullptr) && EVP_DigestUpdate(c, previous.constData(), std::size_t(previous.size()))
        && EVP_DigestUpdate(c, number.constData(), std::size_t(number.size())) && EVP_DigestUpdate(c, "\n", 1)
        && EVP_DigestUpdate(c, kindUtf8.constData(), std::size_t(kindUtf8.size())) && EVP_DigestUpdate(c, "\n", 1)
        && EVP_DigestUpdate(c, body.constData(), std::size_t(body.size())) && EVP_DigestFinal_ex(c, out, &size))
        return QByteArray(reinterpret_cast<const char *>(out), int(size));
    // The library could not give SHA-256 (a system set up without it):
    // the same digest the slow way.
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(previous);
    h.addData(number);
    h.addData("\n");
    h.addData(kindUtf8);
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
    case Kind::Mismatch:
        break;
    }
    return QStringLiteral("entry %1 does not match the chain").arg(seq);
}

} // namespace hashchain
