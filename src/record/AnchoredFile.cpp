#include "record/AnchoredFile.h"

#include "record/LiveLock.h"
#include "record/RecordIdentity.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>

QList<std::pair<QString, QString>> anchorProperties(const Anchor &a)
{
    if (!a.valid())
        return {};
    return {{QStringLiteral("TQ800 recording"), QString::number(a.recording)},
            {QStringLiteral("TQ800 recording uuid"), a.uuid},
            {QStringLiteral("TQ800 entry"), QString::number(a.seq)},
            {QStringLiteral("TQ800 fingerprint"), QString::fromLatin1(a.fingerprint.toHex())}};
}

QString anchorMark(const Anchor &a)
{
    // No brackets or backslashes: a PDF's metadata strings escape those.
    return QStringLiteral("TQ800 recording %1 uuid %2 entry %3 fingerprint %4")
        .arg(a.recording)
        .arg(a.uuid)
        .arg(a.seq)
        .arg(QString::fromLatin1(a.fingerprint.toHex()));
}

bool readAnchorMark(const QByteArray &text, Anchor &a)
{
    static const QRegularExpression mark(QStringLiteral(
        "TQ800 recording (\\d+) uuid ([0-9a-f-]{36}) entry (\\d+) fingerprint ([0-9a-f]{64})"));
    // As written, or as UTF-16 (a PDF's document information): the same
    // text once the high bytes, all zero, are taken out.
    QRegularExpressionMatch m = mark.match(QString::fromLatin1(text));
    if (!m.hasMatch()) {
        QByteArray narrow = text;
        narrow.replace('\0', QByteArray());
        m = mark.match(QString::fromLatin1(narrow));
    }
    if (!m.hasMatch())
        return false;
    a.recording = m.captured(1).toLongLong();
    a.uuid = m.captured(2);
    a.seq = m.captured(3).toLongLong();
    a.fingerprint = QByteArray::fromHex(m.captured(4).toLatin1());
    return true;
}

bool carriesFingerprint(const QString &file)
{
    const QString s = QFileInfo(file).suffix().toLower();
    return s == QLatin1String("xlsx") || s == QLatin1String("pdf");
}

QString fileSha256(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Sha256);
    if (!h.addData(&f))
        return {};
    return QString::fromLatin1(h.result().toHex());
}

QString fileFormat(const QString &file)
{
    // What the writers make of a name: any other suffix is an .xls.
    const QString s = QFileInfo(file).suffix().toLower();
    for (const char *known : {"xlsx", "csv", "jsonl", "pdf"})
        if (s == QLatin1String(known))
            return s;
    return QStringLiteral("xls");
}

QJsonObject fileEvent(const QString &name, const QString &file, QJsonObject fields)
{
    fields.insert(QStringLiteral("format"), fileFormat(file));
    const QDateTime t = QDateTime::currentDateTime();
    fields.insert(QStringLiteral("event"), name);
    fields.insert(QStringLiteral("file"), QFileInfo(file).absoluteFilePath());
    fields.insert(QStringLiteral("by"), identity::actor());
    fields.insert(QStringLiteral("utc"), t.toUTC().toString(Qt::ISODateWithMs));
    fields.insert(QStringLiteral("local"), t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODateWithMs));
    return fields;
}

QString writeAnchored(RecordStore &store, qint64 id, const QString &file, QJsonObject event,
                      const std::function<QString(const Anchor &)> &write, QString *notice)
{
    auto found = store.recording(id);
    if (!found)
        return store.readFailed() ? store.error() : QStringLiteral("there is no recording %1").arg(id);
    RecordingInfo rec = *found;
    Anchor a{rec.id, rec.uuid, rec.entries, rec.lastHash, false};
    // 1. Where the event cannot go: the file carries the last entry's hash.
    QString why;
    if (!store.writable())
        why = QStringLiteral("the store is open for reading only");
    else if (LiveLock::isLive(store.folder(), rec.uuid))
        why = QStringLiteral("another program is writing the recording");
    if (!why.isEmpty()) {
        const QString error = write(a);
        if (error.isEmpty() && notice)
            *notice = QStringLiteral("%1, so no event was added to recording %2's chain for %3; it carries the "
                                     "fingerprint of entry %4")
                          .arg(why)
                          .arg(rec.id)
                          .arg(file)
                          .arg(rec.entries);
        return error;
    }
    // 2. The event's body settled, its hash computed after the last entry
    // stored (which a tampered store may number past its row's count), the
    // file written with it (or, for a file that cannot carry it, its hash
    // taken into the body).
    const qint64 rowEntries = rec.entries;
    {
        SqliteStatement last(store.db(), "SELECT seq, hash FROM entry WHERE recording = ? ORDER BY seq DESC LIMIT 1");
        last.bind(1, rec.id);
        if (last.step()) {
            rec.entries = last.integer(0);
            rec.lastHash = last.blob(1);
        } else if (last.failed()) {
            return store.db().error();
        }
    }
    hashchain::Entry e{rec.entries + 1, QStringLiteral("event"), {}, {}};
    const bool carries = carriesFingerprint(file);
    if (carries) {
        e.body = QJsonDocument(event).toJson(QJsonDocument::Compact);
        a = Anchor{rec.id, rec.uuid, e.seq, hashchain::link(rec.lastHash, e.seq, e.kind, e.body), true};
    }
    if (const QString error = write(a); !error.isEmpty())
        return error;
    if (!carries) {
        event.insert(QStringLiteral("sha256"), fileSha256(file));
        e.body = QJsonDocument(event).toJson(QJsonDocument::Compact);
    }
    // 3. Appended only if nobody wrote to the recording meanwhile: its end,
    // as stored, not as a later recording of its run tells it.
    if (rec.endInferred)
        rec.ended = rec.endedHow = QString();
    if (!store.commit(rec, {e}, 0, rowEntries))
        return QStringLiteral("%1 was written, but its event could not be added to recording %2: %3")
            .arg(file)
            .arg(rec.id)
            .arg(store.error());
    return {};
}
