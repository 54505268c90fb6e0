#pragma once
#include "publish/BrokerUrl.h"

#include <QCommandLineOption>
#include <QList>
#include <QString>

class QCommandLineParser;

// How to reach the lab's broker, as the logger and the window take it from
// their command lines.
struct MqttSettings
{
    BrokerUrl broker;
    QString topic;            // prefix; "" = tq800/<meter id>
    QString caFile, certFile, keyFile;
    QString user, password;
    QString clientId;         // --mqtt-client-id; "" = tq800-<meter id>
    int keepAliveSeconds = 30;

    // Timings in milliseconds; TQ800_MQTT_TIMING ("reconnect=200,flap=1000,
    // steady=2000,refused=1500") changes them, so that a test of a minute's
    // behaviour runs in seconds.
    int reconnectMs = 2000;        // after a failed or lost connection
    int flapMs = 10000;            // an outage shorter than this is a flap: counted, not told
    int steadyMs = 60000;          // flaps are summed up once the connection has held this long
    int refusedRetryMs = 120000;   // what the broker refused is offered again this often

    bool enabled() const { return !broker.host.isEmpty(); }
};

namespace mqttopts {

// The password may come from this environment variable instead of a file.
// It is taken out of the environment as it is read, so that no program
// started from this one (the spreadsheet an export opens) inherits it.
inline constexpr char kPasswordVariable[] = "TQ800_MQTT_PASSWORD";
inline constexpr char kTimingVariable[] = "TQ800_MQTT_TIMING";

// --mqtt URL, --mqtt-topic, --mqtt-cafile, --mqtt-cert, --mqtt-key,
// --mqtt-user, --mqtt-password-file, --mqtt-keepalive, --mqtt-client-id,
// and --mqtt-password (hidden: taken only to be refused with the reason).
QList<QCommandLineOption> options();

// Fills `out` from a parser that took options(); "" when --mqtt is not set
// or everything is in order, else what is wrong, for the user.
QString read(const QCommandLineParser &parser, MqttSettings &out);

// The client id a meter goes by when --mqtt-client-id does not say:
// "tq800-<meter id>", every character an ACL pattern or another broker
// might trip on made '_'.
QString defaultClientId(const QString &meterId);

} // namespace mqttopts
