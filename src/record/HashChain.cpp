#include "record/HashChain.h"

#include <QCryptographicHash>

#include <openssl/evp.h>

#include <charconv>

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

// SHA-256 of previous ‖ "<seq>\n<kind>\n" ‖ body into `out` (32 bytes);
// false when the library cannot.
bool digest(std::string_view previous, qint64 seq, std::string_view kind, std::string_view body, unsigned char *out)
{
    static const Sha256 sha;
    thread_local const Context context;
    char number[24];
    const auto [end, ec] = std::to_chars(number, number + sizeof number, seq);
    EVP_MD_CTX *c = context.ctx;
    unsigned int size = 0;
    return sha.md && c && ec == std::errc() && EVP_DigestInit_ex2(c, sha.md, nullptr)
        && EVP_DigestUpdate(c, previous.data(), previous.size()) && EVP_DigestUpdate(c, number, std::size_t(end - number))
        && EVP_DigestUpdate(c, "\n", 1) && EVP_DigestUpdate(c, kind.data(), kind.size()) && EVP_DigestUpdate(c, "\n", 1)
        && EVP_DigestUpdate(c, body.data(), body.size()) && EVP_DigestFinal_ex(c, out, &size) && size == 32;
}

std::string_view view(const QByteArray &bytes)
{
    return {bytes.constData(), std::size_t(bytes.size())};
}

} // namespace

QByteArray link(const QByteArray &previous, qint64 seq, const QString &kind, const QByteArray &body)
{
    const QByteArray kindUtf8 = kind.toUtf8();
    unsigned char out[32];
    if (digest(view(previous), seq, view(kindUtf8), view(body), out))
        return QByteArray(reinterpret_cast<const char *>(out), 32);
    // The library could not give SHA-256 (a system set up without it):
    // the same digest the slow way.
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(previous);
    h.addData(QByteArray::number(seq));
    h.addData("\n");
    h.addData(kindUtf8);
    h.addData("\n");
    h.addData(body);
    return h.result();
}

bool links(std::string_view previous, qint64 seq, std::string_view kind, std::string_view body, std::string_view hash)
{
    unsigned char out[32];
    if (digest(previous, seq, kind, body, out))
        return hash == std::string_view(reinterpret_cast<const char *>(out), 32);
    return view(link(QByteArray(previous.data(), qsizetype(previous.size())), seq,
                     QString::fromUtf8(kind.data(), qsizetype(kind.size())), QByteArray(body.data(), qsizetype(body.size()))))
        == hash;
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
