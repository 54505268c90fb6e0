#include "record/Annotations.h"

#include <QJsonDocument>

namespace annotation {

namespace {

const QString kEvent = QStringLiteral("event");

// Event names worth reading the body of.
bool named(const QByteArray &body, const char *name)
{
    return body.contains(QByteArray("\"event\":\"").append(name).append('"'));
}

QString orDash(const QString &s)
{
    return s.isEmpty() ? QStringLiteral("–") : s;
}

} // namespace

const Meaning *meaning(const QString &key)
{
    for (const Meaning &m : kMeanings)
        if (key == QLatin1String(m.key))
            return &m;
    return nullptr;
}

QString meaningChoices()
{
    return QStringLiteral("performed, reviewed or approved");
}

Sample sampleOf(const QJsonObject &body)
{
    return {body.value(QStringLiteral("sample")).toString(), body.value(QStringLiteral("batch")).toString(),
            body.value(QStringLiteral("method")).toString()};
}

QJsonObject signatureFields(const QString &login, const QString &fullName, const QString &meaning, const QString &reason)
{
    return {{QStringLiteral("account"), login},
            {QStringLiteral("name"), fullName},
            {QStringLiteral("meaning"), meaning},
            {QStringLiteral("reason"), reason}};
}

void signOver(QJsonObject &fields, const QByteArray &fingerprint, qint64 entries)
{
    fields.insert(QStringLiteral("signed_fingerprint"), QString::fromLatin1(fingerprint.toHex()));
    fields.insert(QStringLiteral("signed_entries"), entries);
}

QJsonObject noteFields(const QString &text, int fromRow, int toRow)
{
    QJsonObject o{{QStringLiteral("text"), text}};
    if (fromRow > 0) {
        o.insert(QStringLiteral("from_row"), fromRow);
        o.insert(QStringLiteral("to_row"), toRow);
    }
    return o;
}

QJsonObject sampleFields(const Sample &s)
{
    auto orNull = [](const QString &t) { return t.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(t); };
    return {{QStringLiteral("sample"), orNull(s.sample)},
            {QStringLiteral("batch"), orNull(s.batch)},
            {QStringLiteral("method"), orNull(s.method)}};
}

QJsonObject stamped(const QString &name, QJsonObject fields, const QDateTime &t)
{
    fields.insert(kEvent, name);
    fields.insert(QStringLiteral("utc"), t.toUTC().toString(Qt::ISODateWithMs));
    fields.insert(QStringLiteral("local"), t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODateWithMs));
    return fields;
}

bool parseRows(const QString &text, int &from, int &to)
{
    const QStringList parts = text.trimmed().split(QLatin1Char('-'));
    if (parts.size() > 2)
        return false;
    bool ok1 = false, ok2 = false;
    from = parts[0].trimmed().toInt(&ok1);
    to = parts.size() == 2 ? parts[1].trimmed().toInt(&ok2) : from;
    ok2 = parts.size() == 1 || ok2;
    return ok1 && ok2 && from >= 1 && to >= from;
}

void Gatherer::take(const hashchain::Entry &e)
{
    if (e.kind == QLatin1String("event")
        && (named(e.body, "signature") || named(e.body, "note") || named(e.body, "sample")))
        take(e, QJsonDocument::fromJson(e.body).object());
    else
        take(e, QJsonObject());
}

void Gatherer::take(const hashchain::Entry &e, const QJsonObject &body)
{
    ++entries;
    if (e.kind == QLatin1String("row"))
        ++rows_;
    const QString name = body.value(kEvent).toString();
    const QString local = body.value(QStringLiteral("local")).toString();
    if (name == QLatin1String("signature")) {
        Signature s{e.seq,
                    body.value(QStringLiteral("account")).toString(),
                    body.value(QStringLiteral("name")).toString(),
                    body.value(QStringLiteral("meaning")).toString(),
                    body.value(QStringLiteral("reason")).toString(),
                    local,
                    false};
        // The signature names the chain it was made over: the one before it.
        s.overChain = body.value(QStringLiteral("signed_fingerprint")).toString()
                          == QString::fromLatin1(previousHash_.toHex())
                      && body.value(QStringLiteral("signed_entries")).toInteger() == e.seq - 1;
        signatures << s;
    } else if (name == QLatin1String("note")) {
        notes << Note{e.seq, body.value(QStringLiteral("text")).toString(), local,
                      body.value(QStringLiteral("from_row")).toInt(), body.value(QStringLiteral("to_row")).toInt()};
    } else if (name == QLatin1String("sample")) {
        const Sample s = sampleOf(body);
        // The sample in force repeated at a recording's start is no change.
        if (samples.isEmpty() || !(samples.last().sample == s))
            samples << SampleMark{e.seq, s, local, rows_ + 1};
    }
    previousHash_ = e.hash;
}

QString signatureText(const Signature &s)
{
    const Meaning *m = meaning(s.meaning);
    return QStringLiteral("%1 (%2), %3, %4: %5")
        .arg(orDash(s.name), orDash(s.login), m ? QString::fromLatin1(m->line).toLower() : orDash(s.meaning),
             orDash(s.local), orDash(s.reason));
}

QString noteText(const Note &n)
{
    const QString rows = n.fromRow <= 0         ? QStringLiteral("the recording")
                         : n.fromRow == n.toRow ? QStringLiteral("row %1").arg(n.fromRow)
                                                : QStringLiteral("rows %1 to %2").arg(n.fromRow).arg(n.toRow);
    return QStringLiteral("%1, on %2: %3").arg(orDash(n.local), rows, n.text);
}

QString sampleText(const Sample &s)
{
    return QStringLiteral("sample %1, batch %2, method %3").arg(orDash(s.sample), orDash(s.batch), orDash(s.method));
}

QStringList Gatherer::lines() const
{
    QStringList out;
    for (const Signature &s : signatures)
        out << QStringLiteral("signature, entry %1: %2%3")
                   .arg(s.seq)
                   .arg(signatureText(s), s.overChain ? QString() : QStringLiteral(" (NOT over the chain before it)"));
    for (const Note &n : notes)
        out << QStringLiteral("note, entry %1: %2").arg(n.seq).arg(noteText(n));
    for (const SampleMark &m : samples)
        out << QStringLiteral("sample, entry %1, from row %2: %3").arg(m.seq).arg(m.fromRow).arg(sampleText(m.sample));
    if (!signatures.isEmpty()) {
        const qint64 last = signatures.last().seq;
        if (entries == last)
            out << QStringLiteral("nothing was added after the last signature (entry %1)").arg(last);
        else if (entries == last + 1)
            out << QStringLiteral("1 entry was added after the last signature (entry %1): entry %2").arg(last).arg(entries);
        else
            out << QStringLiteral("%1 entries were added after the last signature (entry %2): entries %3 to %4")
                       .arg(entries - last).arg(last).arg(last + 1).arg(entries);
    }
    return out;
}

} // namespace annotation
