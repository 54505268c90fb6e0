#pragma once
#include <QJsonObject>
#include <QString>
#include <QStringList>

struct RecordingInfo;

// What a recording's chain says about the recording itself, so that its row
// in the store (who, where, which meter, how it ended) can be held against it.
namespace identity {

// The recording's identity and context as its first entry carries it, under
// "recording": uuid, started, host, user, version, device, stable_device,
// model.
QJsonObject of(const RecordingInfo &rec);

// Who did something to a recording, for its event: the computer's user,
// host, program and process.
QJsonObject actor();
QString osUser();

// What a walk along a recording's chain gathered.
struct ChainFacts
{
    QJsonObject identity;   // the first entry's "recording" (empty: written before it was there)
    QJsonObject end;        // the last "end" event (empty: none)
    qint64 rows = 0;        // row entries
};

// Each way the stored row differs from its chain, named ("its row says host
// 'bench-2', its chain 'bench-1'"); empty when they agree. Only for a chain
// that carries the identity.
QStringList rowAgainstChain(const RecordingInfo &row, const ChainFacts &chain);

} // namespace identity
