#include "record/RecordAudit.h"

#include "record/Ledger.h"
#include "record/RecordIdentity.h"

#include <QJsonDocument>
#include <QJsonObject>

bool Audit::holds() const
{
    using K = hashchain::Verdict::Kind;
    return (chain.kind == K::Intact || chain.kind == K::EndsEarly) && problems.isEmpty();
}

QStringList Audit::lines() const
{
    QStringList out{chain.text()};
    // An intact chain under a row that says otherwise is not "intact".
    if (!problems.isEmpty() && (chain.kind == hashchain::Verdict::Kind::Intact
                                || chain.kind == hashchain::Verdict::Kind::EndsEarly))
        out[0] = QStringLiteral("does not match its chain: ") + problems.first();
    else if (!problems.isEmpty())
        out << problems.first();
    for (qsizetype i = 1; i < problems.size(); ++i)
        out << problems[i];
    if (!predates.isEmpty())
        out << predates;
    return out;
}

Audit audit(RecordStore &store, const RecordingInfo &rec, const std::function<void(const hashchain::Entry &)> &seen)
{
    // 1. The chain, gathering on the same walk what it says of the recording:
    // the first entry's identity and ledger link, its end, its rows.
    identity::ChainFacts facts;
    QJsonObject link;
    bool hasLink = false, hasIdentity = false;
    Audit a;
    a.chain = store.verify(rec, [&](const hashchain::Entry &e) {
        if (e.kind == QLatin1String("row")) {
            ++facts.rows;
        } else if (e.seq == 1 || e.body.contains("\"event\":\"end\"")) {
            const QJsonObject body = QJsonDocument::fromJson(e.body).object();
            if (e.seq == 1) {
                hasIdentity = body.contains(QStringLiteral("recording"));
                facts.identity = body.value(QStringLiteral("recording")).toObject();
                hasLink = body.contains(QStringLiteral("ledger"));
                link = body.value(QStringLiteral("ledger")).toObject();
            }
            if (body.value(QStringLiteral("event")).toString() == QLatin1String("end"))
                facts.end = body;
        }
        if (seen)
            seen(e);
    });
    if (a.chain.kind == hashchain::Verdict::Kind::Unreadable)
        return a;

    // 2. The row against the chain, and the recording's place in the ledger.
    if (hasIdentity)
        a.problems << identity::rowAgainstChain(rec, facts);
    if (hasLink)
        a.problems << ledger::check(store.db(), rec, link);
    if (!hasIdentity && !hasLink)
        a.predates = QStringLiteral("written before its chain held its identity, its end and its place in the store's "
                                    "ledger: its row (who, where, the meter, how it ended) and the recordings before "
                                    "it are not checked against it");
    return a;
}
