#include "record/FileCheck.h"

#include "record/AnchoredFile.h"
#include "record/RecordStore.h"
#include "record/ZipMember.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>

namespace {

const QString kChanged = QStringLiteral("does not match: the recording was changed after this file was made");

// The anchor an .xlsx's custom document properties name.
bool xlsxAnchor(const QString &file, Anchor &a, QString &error)
{
    QByteArray xml;
    if (!readZipMember(file, QStringLiteral("docProps/custom.xml"), xml, error))
        return false;
    QXmlStreamReader r(xml);
    QString name;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement() && r.name() == QLatin1String("property"))
            name = r.attributes().value(QLatin1String("name")).toString();
        else if (r.isStartElement() && r.name() == QLatin1String("lpwstr")) {
            const QString v = r.readElementText();
            if (name == QLatin1String("TQ800 recording"))
                a.recording = v.toLongLong();
            else if (name == QLatin1String("TQ800 recording uuid"))
                a.uuid = v;
            else if (name == QLatin1String("TQ800 entry"))
                a.seq = v.toLongLong();
            else if (name == QLatin1String("TQ800 fingerprint"))
                a.fingerprint = QByteArray::fromHex(v.toLatin1());
        }
    }
    return true;
}

// Recomputes recording `id`'s chain from its start to entry `seq`: the
// hash there, computed (empty when an entry on the way does not follow or
// is missing), and that entry's body.
QByteArray chainTo(RecordStore &store, qint64 id, const QString &uuid, qint64 seq, QByteArray &body, QString &error)
{
    QByteArray hash = hashchain::genesis(uuid);
    qint64 expect = 1;
    bool holds = true;
    const bool read = store.forEachEntry(id, QString(), [&](const hashchain::Entry &e) {
        if (e.seq != expect || hashchain::link(hash, e.seq, e.kind, e.body) != e.hash) {
            holds = false;
            return false;
        }
        hash = e.hash;
        body = e.body;
        return ++expect <= seq;
    });
    if (!read)
        error = store.error();
    return holds && expect > seq ? hash : QByteArray();
}

QString written(const QByteArray &body)
{
    const QJsonObject o = QJsonDocument::fromJson(body).object();
    const QString local = o.value(QStringLiteral("local")).toString();
    return local.isEmpty() ? o.value(QStringLiteral("received")).toString() : local;
}

FileCheck byFingerprint(RecordStore &store, const Anchor &a)
{
    SqliteStatement s(store.db(), "SELECT id FROM recording WHERE uuid = ?");
    s.bind(1, a.uuid);
    if (!s.step())
        return {false, s.failed() ? store.db().error()
                                  : QStringLiteral("does not match: recording %1 (uuid %2) is not in the store")
                                        .arg(a.recording)
                                        .arg(a.uuid)};
    const qint64 id = s.integer(0);
    QByteArray body;
    QString error;
    const QByteArray hash = chainTo(store, id, a.uuid, a.seq, body, error);
    if (!error.isEmpty())
        return {false, error};
    if (hash.isEmpty() || hash != a.fingerprint)
        return {false, kChanged};
    return {true, QStringLiteral("matches recording %1, entry %2, written %3").arg(id).arg(a.seq).arg(written(body))};
}

FileCheck bySha256(RecordStore &store, const QString &file)
{
    const QString sha = fileSha256(file);
    if (sha.isEmpty())
        return {false, QStringLiteral("%1 cannot be read").arg(file)};
    // The index where the store has one; a store of an older layout is
    // searched entry by entry.
    SqliteStatement has(store.db(), "SELECT 1 FROM sqlite_master WHERE name = 'anchor'");
    const bool indexed = has.step();
    SqliteStatement s(store.db(), indexed ? "SELECT recording, seq FROM anchor WHERE sha256 = ? ORDER BY recording, seq"
                                          : "SELECT recording, seq FROM entry WHERE kind = 'event' AND body LIKE ? "
                                            "ORDER BY recording, seq");
    if (indexed)
        s.bind(1, QByteArray::fromHex(sha.toLatin1()));
    else
        s.bind(1, QStringLiteral("%\"sha256\":\"%1\"%").arg(sha));
    QList<std::pair<qint64, qint64>> found;
    while (s.step())
        found << std::pair{s.integer(0), s.integer(1)};
    if (s.failed())
        return {false, store.db().error()};
    for (const auto &[id, seq] : found) {
        const auto rec = store.recording(id);
        if (!rec)
            continue;
        QByteArray body;
        QString error;
        if (chainTo(store, id, rec->uuid, seq, body, error).isEmpty()
            || QJsonDocument::fromJson(body).object().value(QStringLiteral("sha256")).toString() != sha)
            return {false, kChanged};
        return {true, QStringLiteral("matches recording %1, entry %2, written %3").arg(id).arg(seq).arg(written(body))};
    }
    return {false, QStringLiteral("does not match: no export in the store has this file's SHA-256 (the file, or "
                                  "the recording, was changed after the file was made)")};
}

} // namespace

FileCheck checkFile(RecordStore &store, const QString &file)
{
    if (!QFileInfo(file).isFile())
        return {false, QStringLiteral("%1 is not a file that can be read").arg(file)};
    const QString suffix = QFileInfo(file).suffix().toLower();
    Anchor a;
    QString error;
    if (suffix == QLatin1String("pdf")) {
        // The mark is in the report's XMP metadata, plain text.
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return {false, QStringLiteral("%1 cannot be read: %2").arg(file, f.errorString())};
        if (!readAnchorMark(f.readAll(), a))
            return {false, QStringLiteral("%1 carries no fingerprint of a stored recording").arg(file)};
    } else if (suffix == QLatin1String("xlsx")) {
        if (!xlsxAnchor(file, a, error))
            return {false, error};
        if (a.uuid.isEmpty() || a.seq == 0 || a.fingerprint.isEmpty())
            return {false, QStringLiteral("%1 carries no fingerprint of a stored recording").arg(file)};
    } else {
        return bySha256(store, file);
    }
    return byFingerprint(store, a);
}
