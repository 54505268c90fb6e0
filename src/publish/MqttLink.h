#pragma once
#include "publish/MqttOptions.h"

#include <QMutex>
#include <QObject>
#include <QTimer>

#include <thread>

struct mosquitto;
typedef struct mqtt5__property mosquitto_property;

// Who the client is at the broker.
struct MqttSession
{
    QString clientId;    // never "" where the session is kept
    // The broker keeps the session between connections (clean start off,
    // kept kSessionExpirySeconds), so that it knows the client again.
    bool keep = true;
    QString willTopic;   // "offline" goes there, retained, if the client dies; "" none
};

// One connection to the broker on libmosquitto, whose own thread does the
// network: publish() only hands a message over and returns at once. What
// the thread sees (connected, acknowledged, gone) arrives here as signals
// on this object's thread.
//
// A broken connection is not mended in place: the client is dropped with
// whatever it held and a new one connects after the settings' reconnectMs.
// What was not acknowledged is sent again by whoever published it, from the
// store, so nothing goes twice from a queue nobody sees.
//
// It speaks MQTT 5, in which the broker's acknowledgement says whether it
// took a message (an ACL may deny the topic); to a broker that knows only
// 3.1.1 it falls back to that, with a warning, and every acknowledgement
// then counts as taken.
class MqttLink : public QObject
{
    Q_OBJECT
public:
    MqttLink(const MqttSettings &settings, const MqttSession &session, QObject *parent = nullptr);
    ~MqttLink() override;

    void start();
    bool connected() const { return connected_; }
    // Whether a refusal can be heard (MQTT 5).
    bool hearsRefusals() const { return !v311_; }
    // The message's id (> 0), or 0 when there is no connection to hand it to.
    int publish(const QString &topic, const QByteArray &payload, bool retain);
    // Publishes `payload` on the will's topic (if any), retained, and
    // leaves the broker politely, waiting at most `ms` for the message to go.
    void finish(const QByteArray &payload, int ms);

    static constexpr int kConnectTimeoutMs = 10000;
    static constexpr int kSessionExpirySeconds = 7 * 86400;
    // An acknowledgement's reason code from here on: the broker did not take it.
    static constexpr int kRefusedFrom = 0x80;

signals:
    void up();
    void down(const QString &reason);
    // `reason` is the acknowledgement's MQTT 5 reason code (0 under 3.1.1).
    void acknowledged(int mid, int reason);
    void warning(const QString &text);

private:
    void connectNow();
    void drop();
    void onStarted(int generation, int rc, int err);
    void onUp(int generation, int rc);
    void onDown(int generation, int rc);
    void onTlsFailed(int generation);
    void failed(const QString &reason);
    QString tlsTrouble() const;

    static void connectCb(mosquitto *, void *tag, int rc, int flags, const mosquitto_property *);
    static void disconnectCb(mosquitto *, void *tag, int rc, const mosquitto_property *);
    static void publishCb(mosquitto *, void *tag, int mid, int reason, const mosquitto_property *);
    static void logCb(mosquitto *, void *tag, int level, const char *text);

    MqttSettings settings_;
    MqttSession session_;
    bool v311_ = false;   // the broker knows no MQTT 5
    // What a client's callbacks get: this object and which client they
    // come from, so that a dropped client's late news is ignored.
    // The library's last error line (TLS trouble) is kept here as it is
    // logged, on whichever thread: a failing connect may log it before it
    // returns.
    struct Tag
    {
        MqttLink *link;
        int generation;
        QMutex lock;
        QString lastError;
        long verify = 0;            // the certificate check's result then (X509_V_OK)
        bool connectDone = false;   // the connect's thread has handed over
        bool abandoned = false;     // ... or is to clean up by itself
    };
    mosquitto *mosq_ = nullptr;
    Tag *tag_ = nullptr;
    std::thread connector_;
    int generation_ = 0;
    bool connected_ = false;
    QString lastError() const;
    QTimer retry_, timeout_;
};
