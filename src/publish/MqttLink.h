#pragma once
#include "publish/MqttOptions.h"

#include <QMutex>
#include <QObject>
#include <QTimer>

#include <thread>

struct mosquitto;

// One connection to the broker on libmosquitto, whose own thread does the
// network: publish() only hands a message over and returns at once. What
// the thread sees (connected, acknowledged, gone) arrives here as signals
// on this object's thread.
//
// A broken connection is not mended in place: the client is dropped with
// whatever it held and a new one connects after kRetryMs. What was not
// acknowledged is sent again by whoever published it, from the store, so
// nothing goes twice from a queue nobody sees.
class MqttLink : public QObject
{
    Q_OBJECT
public:
    MqttLink(const MqttSettings &settings, const QString &willTopic, QObject *parent = nullptr);
    ~MqttLink() override;

    void start();
    bool connected() const { return connected_; }
    // The message's id (> 0), or 0 when there is no connection to hand it to.
    int publish(const QString &topic, const QByteArray &payload, bool retain);
    // Publishes `payload` on the will's topic, retained, and leaves the
    // broker politely, waiting at most `ms` for the message to go.
    void finish(const QByteArray &payload, int ms);

    static constexpr int kRetryMs = 2000;
    static constexpr int kConnectTimeoutMs = 10000;

signals:
    void up();
    void down(const QString &reason);
    void acknowledged(int mid);

private:
    void connectNow();
    void drop();
    void onStarted(int generation, int rc, int err);
    void onUp(int generation, int rc);
    void onDown(int generation, int rc);
    void failed(const QString &reason);

    static void connectCb(mosquitto *, void *tag, int rc);
    static void disconnectCb(mosquitto *, void *tag, int rc);
    static void publishCb(mosquitto *, void *tag, int mid);
    static void logCb(mosquitto *, void *tag, int level, const char *text);

    MqttSettings settings_;
    QString willTopic_;
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
