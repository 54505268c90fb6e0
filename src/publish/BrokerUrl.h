#pragma once
#include <QString>

// Where the lab's broker is: mqtt://host[:port] (plain, 1883 by default) or
// mqtts://host[:port] (TLS, 8883). An IPv6 address is written in brackets,
// mqtt://[::1]:1883.
struct BrokerUrl
{
    bool tls = false;
    QString host;
    int port = 0;

    // The address as the user reads it back, port always shown.
    QString text() const;
};

// The broker named by `url`, or "" in `error` and a filled BrokerUrl; on
// failure `error` says what is wrong with it.
BrokerUrl parseBrokerUrl(const QString &url, QString &error);
