#pragma once
#include "publish/BrokerUrl.h"

#include <QString>

// What the broker, the MQTT library and OpenSSL say, in words a user can act
// on: which certificate is wrong and how, a plain port taken for a TLS one,
// a refusal's reason.
namespace brokerwords {

// A TLS failure: `line` the first error line the library logged, `verify`
// the certificate check's result (X509_V_OK when it found nothing).
QString tls(const QString &line, long verify, const BrokerUrl &broker);

// A CONNACK that did not let the client in (a 3.1.1 code or an MQTT 5
// reason code).
QString connack(int rc, const QString &clientId);

// A connection that ended: `rc` the library's code or the reason code of
// the broker's DISCONNECT; `answered` whether the broker had let the client
// in (a plain client at a TLS port is dropped before that).
QString loss(int rc, bool answered, const BrokerUrl &broker, const QString &clientId);

// An MQTT 5 reason code, "not authorized (0x87)".
QString reason(int code);

} // namespace brokerwords
