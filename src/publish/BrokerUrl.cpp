#include "publish/BrokerUrl.h"

#include <array>

namespace {

struct Scheme { const char *prefix; bool tls; int port; };
constexpr std::array kSchemes{Scheme{"mqtt://", false, 1883}, Scheme{"mqtts://", true, 8883}};

} // namespace

QString BrokerUrl::text() const
{
    const QString h = host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host) : host;
    return QStringLiteral("%1://%2:%3").arg(tls ? QStringLiteral("mqtts") : QStringLiteral("mqtt"), h).arg(port);
}

BrokerUrl parseBrokerUrl(const QString &url, QString &error)
{
    BrokerUrl b;
    error.clear();
    const Scheme *scheme = nullptr;
    for (const Scheme &s : kSchemes)
        if (url.startsWith(QLatin1String(s.prefix), Qt::CaseInsensitive))
            scheme = &s;
    if (!scheme) {
        error = QStringLiteral("%1 is not a broker address: write mqtt://HOST[:PORT] or mqtts://HOST[:PORT]").arg(url);
        return b;
    }
    b.tls = scheme->tls;
    b.port = scheme->port;
    QString rest = url.mid(int(qstrlen(scheme->prefix)));
    if (rest.endsWith(QLatin1Char('/')))
        rest.chop(1);
    // A user or a path in the address would be ignored without a word:
    // user names go by --mqtt-user, topics by --mqtt-topic.
    if (rest.contains(QLatin1Char('@')) || rest.contains(QLatin1Char('/'))) {
        error = QStringLiteral("%1: give only HOST[:PORT] after the scheme (a user goes by --mqtt-user, a topic "
                               "by --mqtt-topic)").arg(url);
        return b;
    }
    QString portText;
    if (rest.startsWith(QLatin1Char('['))) {
        const int close = int(rest.indexOf(QLatin1Char(']')));
        if (close < 0) {
            error = QStringLiteral("%1: the IPv6 address has no closing ]").arg(url);
            return b;
        }
        b.host = rest.mid(1, close - 1);
        const QString after = rest.mid(close + 1);
        if (!after.isEmpty() && !after.startsWith(QLatin1Char(':'))) {
            error = QStringLiteral("%1: unexpected text after the address").arg(url);
            return b;
        }
        portText = after.mid(1);
        if (after.isEmpty())
            portText.clear();
    } else {
        const int colon = int(rest.lastIndexOf(QLatin1Char(':')));
        b.host = colon < 0 ? rest : rest.left(colon);
        if (colon >= 0)
            portText = rest.mid(colon + 1);
        if (colon >= 0 && portText.isEmpty()) {
            error = QStringLiteral("%1: the port is missing after the colon").arg(url);
            return b;
        }
    }
    if (b.host.isEmpty()) {
        error = QStringLiteral("%1: the host is missing").arg(url);
        return b;
    }
    if (!portText.isEmpty()) {
        bool ok = false;
        const int port = portText.toInt(&ok);
        if (!ok || port < 1 || port > 65535) {
            error = QStringLiteral("%1: the port must be a number from 1 to 65535").arg(url);
            return b;
        }
        b.port = port;
    }
    return b;
}
