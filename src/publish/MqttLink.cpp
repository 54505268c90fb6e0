#include "publish/MqttLink.h"

#include "publish/BrokerWords.h"

#include <QEventLoop>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <openssl/ssl.h>

namespace {

QByteArray enc(const QString &s)
{
    return s.toUtf8();
}

QByteArray path(const QString &s)
{
    return QFile::encodeName(s);
}

} // namespace

MqttLink::MqttLink(const MqttSettings &settings, const MqttSession &session, QObject *parent)
    : QObject(parent), settings_(settings), session_(session)
{
    static const int init = mosquitto_lib_init();
    Q_UNUSED(init)
    retry_.setSingleShot(true);
    retry_.setInterval(settings.reconnectMs);
    connect(&retry_, &QTimer::timeout, this, &MqttLink::connectNow);
    timeout_.setSingleShot(true);
    timeout_.setInterval(kConnectTimeoutMs);
    // A handshake that failed on the library's thread may end that thread
    // without a word but the error it logged: that is the reason then.
    connect(&timeout_, &QTimer::timeout, this, [this] {
        const QString error = lastError();
        failed(error.isEmpty() ? QStringLiteral("no answer from the broker") : tlsTrouble());
    });
}

MqttLink::~MqttLink()
{
    drop();
}

void MqttLink::start()
{
    connectNow();
}

void MqttLink::connectNow()
{
    drop();
    tag_ = new Tag;
    tag_->link = this;
    tag_->generation = ++generation_;
    const QByteArray id = enc(session_.clientId);
    mosq_ = mosquitto_new(id.isEmpty() ? nullptr : id.constData(), !session_.keep, tag_);
    if (!mosq_)
        return failed(QString::fromLocal8Bit(std::strerror(errno)));
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, v311_ ? MQTT_PROTOCOL_V311 : MQTT_PROTOCOL_V5);
    // The library's own reconnecting is put out of the way: a lost client
    // is replaced (see the header).
    mosquitto_reconnect_delay_set(mosq_, 3600, 3600, false);
    mosquitto_connect_v5_callback_set(mosq_, &MqttLink::connectCb);
    mosquitto_disconnect_v5_callback_set(mosq_, &MqttLink::disconnectCb);
    mosquitto_publish_v5_callback_set(mosq_, &MqttLink::publishCb);
    mosquitto_log_callback_set(mosq_, &MqttLink::logCb);
    int rc = MOSQ_ERR_SUCCESS;
    if (!session_.willTopic.isEmpty()) {
        const QByteArray will("offline");
        rc = mosquitto_will_set(mosq_, enc(session_.willTopic).constData(), int(will.size()), will.constData(), 1, true);
    }
    if (rc == MOSQ_ERR_SUCCESS && !settings_.user.isEmpty())
        rc = mosquitto_username_pw_set(mosq_, enc(settings_.user).constData(),
                                       settings_.password.isEmpty() ? nullptr : enc(settings_.password).constData());
    if (rc == MOSQ_ERR_SUCCESS && settings_.broker.tls)
        rc = mosquitto_tls_set(mosq_, path(settings_.caFile).constData(), nullptr,
                               settings_.certFile.isEmpty() ? nullptr : path(settings_.certFile).constData(),
                               settings_.keyFile.isEmpty() ? nullptr : path(settings_.keyFile).constData(), nullptr);
    if (rc != MOSQ_ERR_SUCCESS)
        return failed(QString::fromUtf8(mosquitto_strerror(rc)));
    timeout_.start();
    // Connecting looks the host's name up, which can take seconds when a
    // name server does not answer, and (the library sends MQTT 5 connect
    // properties only so) waits for the TCP and TLS handshakes: done on a
    // thread of its own, so that neither the receive tick nor the window
    // waits for it. A connect that outlives its time limit is abandoned to
    // that thread, which then cleans up after itself.
    // The session is kept for a week: a restarted program is the same client
    // to the broker (3.1.1 has no expiry: the broker's own setting holds).
    const bool expiry = session_.keep && !v311_;
    connector_ = std::thread([tag = tag_, mosq = mosq_, host = enc(settings_.broker.host), port = settings_.broker.port,
                              keepAlive = settings_.keepAliveSeconds, expiry] {
        mosquitto_property *props = nullptr;
        if (expiry)
            mosquitto_property_add_int32(&props, MQTT_PROP_SESSION_EXPIRY_INTERVAL, kSessionExpirySeconds);
        errno = 0;
        int rc = mosquitto_connect_bind_v5(mosq, host.constData(), port, keepAlive, nullptr, props);
        const int err = errno;
        mosquitto_property_free_all(&props);
        if (rc == MOSQ_ERR_SUCCESS)
            rc = mosquitto_loop_start(mosq);
        QMutexLocker hold(&tag->lock);
        if (tag->abandoned) {
            hold.unlock();
            mosquitto_disconnect(mosq);
            mosquitto_loop_stop(mosq, false);
            mosquitto_destroy(mosq);
            delete tag;
            return;
        }
        tag->connectDone = true;
        MqttLink *link = tag->link;
        const int g = tag->generation;
        QMetaObject::invokeMethod(link, [link, g, rc, err] { link->onStarted(g, rc, err); }, Qt::QueuedConnection);
    });
}

void MqttLink::onStarted(int generation, int rc, int err)
{
    if (generation != generation_ || rc == MOSQ_ERR_SUCCESS)
        return;
    const QString error = lastError();
    failed(rc == MOSQ_ERR_ERRNO && err ? QString::fromLocal8Bit(std::strerror(err))
           : !error.isEmpty()           ? tlsTrouble()
           : rc == MOSQ_ERR_EAI         ? QStringLiteral("the host name %1 is not known").arg(settings_.broker.host)
                                        : QString::fromUtf8(mosquitto_strerror(rc)));
}

void MqttLink::drop()
{
    timeout_.stop();
    connected_ = false;
    if (!mosq_) {
        delete std::exchange(tag_, nullptr);
        return;
    }
    ++generation_;   // whatever the old client still reports is stale
    if (connector_.joinable()) {
        QMutexLocker hold(&tag_->lock);
        if (!tag_->connectDone) {
            // Still connecting (a name lookup that hangs): left to its
            // thread, which drops the client when the lookup returns.
            tag_->abandoned = true;
            hold.unlock();
            connector_.detach();
            mosq_ = nullptr;
            tag_ = nullptr;
            return;
        }
        hold.unlock();
        connector_.join();
    }
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, false);
    mosquitto_destroy(mosq_);
    mosq_ = nullptr;
    delete std::exchange(tag_, nullptr);
}

void MqttLink::failed(const QString &reason)
{
    drop();
    retry_.start();
    emit down(reason);
}

int MqttLink::publish(const QString &topic, const QByteArray &payload, bool retain)
{
    if (!mosq_ || !connected_)
        return 0;
    int mid = 0;
    const int rc = mosquitto_publish(mosq_, &mid, enc(topic).constData(), int(payload.size()), payload.constData(), 1,
                                     retain);
    return rc == MOSQ_ERR_SUCCESS ? mid : 0;
}

void MqttLink::finish(const QByteArray &payload, int ms)
{
    retry_.stop();
    if (mosq_ && connected_ && !session_.willTopic.isEmpty()) {
        const int mid = publish(session_.willTopic, payload, true);
        if (mid > 0) {
            QEventLoop wait;
            QTimer limit;
            limit.setSingleShot(true);
            connect(&limit, &QTimer::timeout, &wait, &QEventLoop::quit);
            connect(this, &MqttLink::acknowledged, &wait, [&wait, mid](int acked, int) {
                if (acked == mid)
                    wait.quit();
            });
            connect(this, &MqttLink::down, &wait, &QEventLoop::quit);
            limit.start(ms);
            wait.exec();
        }
    }
    drop();
}

// --- on the library's thread: handed over to this object's thread ---------

void MqttLink::connectCb(mosquitto *, void *tag, int rc, int, const mosquitto_property *)
{
    auto *t = static_cast<Tag *>(tag);
    MqttLink *link = t->link;
    const int g = t->generation;
    QMetaObject::invokeMethod(link, [link, g, rc] { link->onUp(g, rc); }, Qt::QueuedConnection);
}

void MqttLink::disconnectCb(mosquitto *, void *tag, int rc, const mosquitto_property *)
{
    auto *t = static_cast<Tag *>(tag);
    MqttLink *link = t->link;
    const int g = t->generation;
    QMetaObject::invokeMethod(link, [link, g, rc] { link->onDown(g, rc); }, Qt::QueuedConnection);
}

void MqttLink::publishCb(mosquitto *, void *tag, int mid, int reason, const mosquitto_property *)
{
    auto *t = static_cast<Tag *>(tag);
    MqttLink *link = t->link;
    const int g = t->generation;
    QMetaObject::invokeMethod(
        link,
        [link, g, mid, reason] {
            if (g == link->generation_)
                emit link->acknowledged(mid, reason);
        },
        Qt::QueuedConnection);
}

void MqttLink::logCb(mosquitto *mosq, void *tag, int level, const char *text)
{
    if (!(level & MOSQ_LOG_ERR))
        return;
    // While the handshake fails the connection still holds OpenSSL's
    // verdict on the certificate, which says what is wrong with it.
    long verify = X509_V_OK;
    if (auto *ssl = static_cast<SSL *>(mosquitto_ssl_get(mosq)))
        verify = SSL_get_verify_result(ssl);
    const QString line = QString::fromUtf8(text);
    auto *t = static_cast<Tag *>(tag);
    QMutexLocker hold(&t->lock);
    // The first line says what failed; OpenSSL's further lines say where.
    if (t->lastError.isEmpty())
        t->lastError = line;
    if (t->verify == X509_V_OK)
        t->verify = verify;
    // A failed handshake may end the library's thread without another
    // word: said now rather than at the connect's time limit.
    if (line.startsWith(QLatin1String("OpenSSL Error")) || line.contains(QLatin1String("host name verification"))) {
        MqttLink *link = t->link;
        const int g = t->generation;
        QMetaObject::invokeMethod(link, [link, g] { link->onTlsFailed(g); }, Qt::QueuedConnection);
    }
}

QString MqttLink::lastError() const
{
    if (!tag_)
        return {};
    QMutexLocker hold(&tag_->lock);   // the connect's thread may be writing it
    return tag_->lastError;
}

QString MqttLink::tlsTrouble() const
{
    if (!tag_)
        return {};
    QMutexLocker hold(&tag_->lock);
    return brokerwords::tls(tag_->lastError, tag_->verify, settings_.broker);
}

void MqttLink::onTlsFailed(int generation)
{
    if (generation == generation_ && !connected_)
        failed(tlsTrouble());
}

void MqttLink::onUp(int generation, int rc)
{
    if (generation != generation_)
        return;
    timeout_.stop();
    // A broker that knows only 3.1.1 answers an MQTT 5 greeting so; asked
    // again in 3.1.1 at once.
    if (!v311_ && (rc == MQTT_RC_UNSUPPORTED_PROTOCOL_VERSION || rc == CONNACK_REFUSED_PROTOCOL_VERSION)) {
        v311_ = true;
        emit warning(QStringLiteral("the broker at %1 speaks MQTT 3.1.1 only, which has no way to refuse a message: "
                                    "one it does not take (an ACL that denies the topic) will look delivered and "
                                    "not be sent again. An MQTT 5 broker says so.").arg(settings_.broker.text()));
        drop();
        connectNow();
        return;
    }
    if (rc != 0)
        return failed(brokerwords::connack(rc, session_.clientId));
    connected_ = true;
    emit up();
}

void MqttLink::onDown(int generation, int rc)
{
    if (generation != generation_)
        return;
    const QString error = lastError();
    failed(!error.isEmpty() ? tlsTrouble() : brokerwords::loss(rc, connected_, settings_.broker, session_.clientId));
}
