#include "publish/BrokerWords.h"

#include <QDateTime>

#include <array>
#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <openssl/x509_vfy.h>

namespace {

// %1 the host, %2 the port, %3 this computer's clock (UTC).
struct VerifyWords { long code; const char *words; };
constexpr std::array kVerify{
    VerifyWords{X509_V_ERR_CERT_HAS_EXPIRED,
                "the broker's certificate has expired, by this computer's clock (%3); the broker needs a new one"},
    VerifyWords{X509_V_ERR_CERT_NOT_YET_VALID,
                "the broker's certificate is not valid yet, by this computer's clock (%3): is the clock right?"},
    VerifyWords{X509_V_ERR_HOSTNAME_MISMATCH,
                "the broker's certificate is not made out to %1: connect by a name its certificate lists"},
    VerifyWords{X509_V_ERR_IP_ADDRESS_MISMATCH,
                "the broker's certificate is not made out to %1: connect by a name its certificate lists"},
    VerifyWords{X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY,
                "the broker's certificate was not signed by the CA in --mqtt-cafile"},
    VerifyWords{X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT, "the broker's certificate was not signed by the CA in --mqtt-cafile"},
    VerifyWords{X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE,
                "the broker's certificate was not signed by the CA in --mqtt-cafile"},
    VerifyWords{X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT,
                "the broker's certificate signs itself; give that certificate as --mqtt-cafile if it is the right one"},
    VerifyWords{X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN, "the broker's certificate was not signed by the CA in --mqtt-cafile"},
    VerifyWords{X509_V_ERR_CERT_REVOKED, "the broker's certificate has been revoked"},
};

// Error lines of the library or OpenSSL that say more than the check's result.
struct LineWords { const char *contains; const char *words; };
constexpr std::array kLines{
    LineWords{"host name verification failed",
              "the broker's certificate is not made out to %1: connect by a name its certificate lists"},
    // The plain listener closes on the TLS greeting, or answers in MQTT.
    LineWords{"unexpected eof while reading",
              "port %2 closed the connection at the TLS greeting: it does not speak TLS; for a plain port write "
              "mqtt://"},
    LineWords{"wrong version number",
              "port %2 does not speak TLS; for a plain port write mqtt://"},
    LineWords{"packet length too long", "port %2 does not speak TLS; for a plain port write mqtt://"},
};

QString fill(const char *words, const BrokerUrl &broker)
{
    // By name, not by QString::arg: a text may use %3 without %1.
    return QString::fromUtf8(words)
        .replace(QLatin1String("%1"), broker.host)
        .replace(QLatin1String("%2"), QString::number(broker.port))
        .replace(QLatin1String("%3"), QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
}

// The library's line without its frame: "OpenSSL Error[0]: error:0A000126:SSL
// routines::unexpected eof while reading" says "unexpected eof while reading".
QString detail(QString line)
{
    line = line.trimmed();
    if (const qsizetype at = line.lastIndexOf(QLatin1String("::")); at >= 0)
        line = line.mid(at + 2);
    if (line.startsWith(QLatin1String("Error: ")))
        line = line.mid(7);
    while (line.endsWith(QLatin1Char('.')))
        line.chop(1);
    return line;
}

QString lowerFirst(QString s)
{
    if (!s.isEmpty())
        s[0] = s[0].toLower();
    return s;
}

} // namespace

namespace brokerwords {

QString tls(const QString &line, long verify, const BrokerUrl &broker)
{
    for (const LineWords &l : kLines)
        if (line.contains(QLatin1String(l.contains)))
            return QStringLiteral("%1 (%2)").arg(fill(l.words, broker), detail(line));
    if (verify != X509_V_OK) {
        const QString check = QString::fromUtf8(X509_verify_cert_error_string(verify));
        for (const VerifyWords &v : kVerify)
            if (v.code == verify)
                return QStringLiteral("%1 (%2)").arg(fill(v.words, broker), check);
        return QStringLiteral("the broker's certificate was refused: %1").arg(check);
    }
    return line;
}

QString reason(int code)
{
    return QStringLiteral("%1 (0x%2)").arg(lowerFirst(QString::fromUtf8(mosquitto_reason_string(code))))
        .arg(code, 2, 16, QLatin1Char('0'));
}

QString connack(int rc, const QString &clientId)
{
    if (rc == MQTT_RC_CLIENTID_NOT_VALID || rc == CONNACK_REFUSED_IDENTIFIER_REJECTED)
        return QStringLiteral("the broker does not take the client id %1 (%2 characters): choose another with "
                              "--mqtt-client-id").arg(clientId).arg(clientId.size());
    if (rc >= 0x80)
        return QStringLiteral("the broker refused the connection: %1").arg(reason(rc));
    return lowerFirst(QString::fromUtf8(mosquitto_connack_string(rc)));
}

QString loss(int rc, bool answered, const BrokerUrl &broker, const QString &clientId)
{
    if (rc == MQTT_RC_SESSION_TAKEN_OVER)
        return QStringLiteral("another client connected with the same client id %1 and took the session over "
                              "(give each program its own --mqtt-client-id)").arg(clientId);
    if (rc >= 0x80)
        return QStringLiteral("the broker ended the connection: %1").arg(reason(rc));
    if (rc == MOSQ_ERR_KEEPALIVE)
        return QStringLiteral("the broker stopped answering");
    // A TLS listener drops a client that greets it in plain MQTT without a
    // word the client could read.
    if (!answered && !broker.tls && (rc == MOSQ_ERR_CONN_LOST || rc == MOSQ_ERR_ERRNO || rc == MOSQ_ERR_PROTOCOL))
        return QStringLiteral("the broker closed the connection without answering: if port %1 speaks TLS, write "
                              "mqtts://%2:%1 and give --mqtt-cafile").arg(broker.port).arg(broker.host);
    if (rc == MOSQ_ERR_CONN_LOST || rc == MOSQ_ERR_ERRNO)
        return QStringLiteral("the connection was lost");
    return QString::fromUtf8(mosquitto_strerror(rc));
}

} // namespace brokerwords
