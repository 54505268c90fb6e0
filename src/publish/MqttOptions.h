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
    int keepAliveSeconds = 30;

    bool enabled() const { return !broker.host.isEmpty(); }
};

namespace mqttopts {

// The password may come from this environment variable instead of a file.
inline constexpr char kPasswordVariable[] = "TQ800_MQTT_PASSWORD";

// --mqtt URL, --mqtt-topic, --mqtt-cafile, --mqtt-cert, --mqtt-key,
// --mqtt-user, --mqtt-password-file, --mqtt-keepalive, and --mqtt-password
// (hidden: taken only to be refused with the reason).
QList<QCommandLineOption> options();

// Fills `out` from a parser that took options(); "" when --mqtt is not set
// or everything is in order, else what is wrong, for the user.
QString read(const QCommandLineParser &parser, MqttSettings &out);

} // namespace mqttopts
