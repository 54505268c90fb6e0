#include "record/RecordIdentity.h"

#include "record/RecordStore.h"

#include <QCoreApplication>
#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

namespace identity {
namespace {

// The row's columns beside the identity's keys: one table serves writing
// the identity and comparing it.
struct Field
{
    const char *key;
    QString RecordingInfo::*member;
};
constexpr Field kFields[] = {
    {"uuid", &RecordingInfo::uuid},       {"started", &RecordingInfo::started}, {"host", &RecordingInfo::host},
    {"user", &RecordingInfo::user},       {"version", &RecordingInfo::version}, {"device", &RecordingInfo::device},
    {"stable_device", &RecordingInfo::stableDevice}, {"model", &RecordingInfo::model},
};

QString quoted(const QString &s)
{
    return s.isEmpty() ? QStringLiteral("nothing") : QLatin1Char('\'') + s + QLatin1Char('\'');
}

} // namespace

QJsonObject of(const RecordingInfo &rec)
{
    QJsonObject o;
    for (const Field &f : kFields)
        o.insert(QLatin1String(f.key), rec.*f.member);
    return o;
}

QString osUser()
{
    if (const passwd *pw = getpwuid(getuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

QJsonObject actor()
{
    return {{QStringLiteral("user"), osUser()},
            {QStringLiteral("host"), QSysInfo::machineHostName()},
            {QStringLiteral("program"), QCoreApplication::applicationName()},
            {QStringLiteral("pid"), qint64(getpid())}};
}

QStringList rowAgainstChain(const RecordingInfo &row, const ChainFacts &chain)
{
    QStringList found;
    for (const Field &f : kFields) {
        const QString inChain = chain.identity.value(QLatin1String(f.key)).toString();
        if (row.*f.member != inChain)
            found << QStringLiteral("its row says %1 %2, its chain %3")
                         .arg(QLatin1String(f.key), quoted(row.*f.member), quoted(inChain));
    }
    // How and when it ended: the chain's end event, or none.
    const QString how = chain.end.value(QStringLiteral("how")).toString();
    const QString when = chain.end.value(QStringLiteral("local")).toString();
    if (chain.end.isEmpty() && !row.endedHow.isEmpty())
        found << QStringLiteral("its row says it ended (%1, %2), its chain holds no end").arg(row.endedHow, row.ended);
    else if (!chain.end.isEmpty() && row.endedHow != how)
        found << QStringLiteral("its row says it ended %1, its chain %2").arg(quoted(row.endedHow), quoted(how));
    else if (!chain.end.isEmpty() && row.ended != when)
        found << QStringLiteral("its row says it ended at %1, its chain at %2").arg(quoted(row.ended), quoted(when));
    if (row.rows != chain.rows)
        found << QStringLiteral("its row counts %1 rows, its chain %2").arg(row.rows).arg(chain.rows);
    return found;
}

} // namespace identity
