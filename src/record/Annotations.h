#pragma once
#include "record/HashChain.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>

// What people add to a recording, each an event of its chain: a signature
// (who, with which meaning, why, over which fingerprint), an operator's note
// on the recording or a range of its rows, and the sample being measured
// (sample, batch, method) from that point on.
namespace annotation {

// A signature's meaning and the report's line it is printed on.
struct Meaning
{
    const char *key;
    const char *line;
};
inline constexpr std::array<Meaning, 3> kMeanings{{{"performed", "Performed by"},
                                                   {"reviewed", "Reviewed by"},
                                                   {"approved", "Approved by"}}};
// The meaning called `key`, or nullptr.
const Meaning *meaning(const QString &key);
// "performed, reviewed or approved", for a message.
QString meaningChoices();

struct Sample
{
    QString sample, batch, method;
    bool isEmpty() const { return sample.isEmpty() && batch.isEmpty() && method.isEmpty(); }
    bool operator==(const Sample &) const = default;
};
// The sample an event body names (a "sample" event's fields).
Sample sampleOf(const QJsonObject &body);

// The fields of each event (without the event's name and times).
QJsonObject signatureFields(const QString &login, const QString &fullName, const QString &meaning, const QString &reason);
// Signed over the chain as it stood: its fingerprint and length.
void signOver(QJsonObject &fields, const QByteArray &fingerprint, qint64 entries);
// `fromRow` 0: the whole recording.
QJsonObject noteFields(const QString &text, int fromRow = 0, int toRow = 0);
QJsonObject sampleFields(const Sample &s);

// `fields` as an event named `name` at `t` (UTC and local time).
QJsonObject stamped(const QString &name, QJsonObject fields, const QDateTime &t);

// "2-5" or "7": a range of table rows; false for anything else.
bool parseRows(const QString &text, int &from, int &to);

struct Signature
{
    qint64 seq = 0;
    QString login, name, meaning, reason, local;
    bool overChain = false;   // signed the fingerprint of the chain just before it
};
struct Note
{
    qint64 seq = 0;
    QString text, local;
    int fromRow = 0, toRow = 0;
};
struct SampleMark
{
    qint64 seq = 0;
    Sample sample;
    QString local;
    int fromRow = 1;   // the first row measured on it
};

// Gathers them on a walk along a recording's entries in order (cheaply:
// only an event that names one of them is read as JSON).
class Gatherer
{
public:
    void take(const hashchain::Entry &e);
    // The same for a body already read.
    void take(const hashchain::Entry &e, const QJsonObject &body);

    QList<Signature> signatures;
    QList<Note> notes;
    QList<SampleMark> samples;
    qint64 entries = 0;   // seen so far

    // One line each, for a person (verify): the signatures, the notes, the
    // samples, and how many entries came after the last signature.
    QStringList lines() const;

private:
    QByteArray previousHash_;
    int rows_ = 0;
};

// One line for a signature, as verify and the report print it:
// "Ann Smith (ann), performed, 2026-...: reason".
QString signatureText(const Signature &s);
QString noteText(const Note &n);
QString sampleText(const Sample &s);

} // namespace annotation
