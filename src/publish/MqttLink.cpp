#include "publish/MqttLink.h"

#include <QEventLoop>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <mosquitto.h>

namespace {

QByteArray enc(const QString &s)
{
    return s.toUtf8();
}

QByteArray path(const QString &s)
{
    return QFile::encodeName(s);
}

// What the library's error line says, in words for the user where it is
// a certificate the broker's does not match.
QString tlsWords(const QString &line)
{
    if (line.contains(QLatin1String("certificate verify failed")))
        return QStringLiteral("the broker's certificate was not signed by the CA in --mqtt-cafile "
                              "(certificate verify failed)");
    if (line.contains(QLatin1String("wrong version number")) || line.contains(QLatin1String("packet length too long")))
        return QStringLiteral("the broker does not speak TLS on this port (%1)").arg(line);
    return line;
}

} // namespace

MqttLink::MqttLink(const MqttSettings &settings, const QString &willTopic, QObject *parent)
    : QObject(parent), settings_(settings), willTopic_(willTopic)
{
    static const int init = mosquitto_lib_init();
    Q_UNUSED(init)
    retry_.setSingleShot(true);
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, &MqttLink::connectNow);
    timeout_.setSingleShot(true);
    timeout_.setInterval(kConnectTimeoutMs);
    // A handshake that failed on the library's thread may end that thread
    // without a word but the error it logged: that is the reason then.
    connect(&timeout_, &QTimer::timeout, this, [this] {
        const QString error = lastError();
        failed(error.isEmpty() ? QStringLiteral("no answer from the broker") : tlsWords(error));
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
    mosq_ = mosquitto_new(nullptr, true, tag_);
    if (!mosq_)
        return failed(QString::fromLocal8Bit(std::strerror(errno)));
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    // The library's own reconnecting is put out of the way: a lost client
    // is replaced (see the header).
    mosquitto_reconnect_delay_set(mosq_, 3600, 3600, false);
    mosquitto_connect_callback_set(mosq_, &MqttLink::connectCb);
    mosquitto_disconnect_callback_set(mosq_, &MqttLink::disconnectCb);
    mosquitto_publish_callback_set(mosq_, &MqttLink::publishCb);
    mosquitto_log_callback_set(mosq_, &MqttLink::logCb);
    const QByteArray will("offline");
    int rc = mosquitto_will_set(mosq_, enc(willTopic_).constData(), int(will.size()), will.constData(), 1, true);
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
    // name server does not answer: done on a thread of its own, so that
    // neither the receive tick nor the window waits for it. A connect that
    // outlives its time limit is abandoned to that thread, which then
    // cleans up after itself.
    connector_ = std::thread([tag = tag_, mosq = mosq_, host = enc(settings_.broker.host), port = settings_.broker.port,
                              keepAlive = settings_.keepAliveSeconds] {
        errno = 0;
        int rc = mosquitto_connect_async(mosq, host.constData(), port, keepAlive);
        const int err = errno;
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
           : !error.isEmpty()           ? tlsWords(error)
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
    if (mosq_ && connected_) {
        const int mid = publish(willTopic_, payload, true);
        if (mid > 0) {
            QEventLoop wait;
            QTimer limit;
            limit.setSingleShot(true);
            connect(&limit, &QTimer::timeout, &wait, &QEventLoop::quit);
            connect(this, &MqttLink::acknowledged, &wait, [&wait, mid](int acked) {
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

void MqttLink::connectCb(mosquitto *, void *tag, int rc)
{
    auto *t = static_cast<Tag *>(tag);
    MqttLink *link = t->link;
    const int g = t->generation;
    QMetaObject::invokeMethod(link, [link, g, rc] { link->onUp(g, rc); }, Qt::QueuedConnection);
}

void MqttLink::disconnectCb(mosquitto *, void *tag, int rc)
{
    auto *t = static_cast<Tag *>(tag);
    MqttLink *link = t->link;
    const int g = t->generation;
    QMetaObject::invokeMethod(link, [link, g, rc] { link->onDown(g, rc); }, Qt::QueuedConnection);
}

void MqttLink::publishCb(mosquitto *, void *tag, int mid)
{
    auto *t = static_cast<Tag *>(tag);
    MqttLink *link = t->link;
    const int g = t->generation;
    QMetaObject::invokeMethod(
        link,
        [link, g, mid] {
            if (g == link->generation_)
                emit link->acknowledged(mid);
        },
        Qt::QueuedConnection);
}

void MqttLink::logCb(mosquitto *, void *tag, int level, const char *text)
{
    if (!(level & MOSQ_LOG_ERR))
        return;
    auto *t = static_cast<Tag *>(tag);
    QMutexLocker hold(&t->lock);
    // The first line says what failed; OpenSSL's further lines say where.
    if (t->lastError.isEmpty())
        t->lastError = QString::fromUtf8(text);
}

QString MqttLink::lastError() const
{
    if (!tag_)
        return {};
    QMutexLocker hold(&tag_->lock);   // the connect's thread may be writing it
    return tag_->lastError;
}

void MqttLink::onUp(int generation, int rc)
{
    if (generation != generation_)
        return;
    timeout_.stop();
    if (rc != 0)
        return failed(QString::fromUtf8(mosquitto_connack_string(rc)));
    connected_ = true;
    emit up();
}

void MqttLink::onDown(int generation, int rc)
{
    if (generation != generation_)
        return;
    const QString error = lastError();
    QString reason = !error.isEmpty() ? tlsWords(error)
                     : rc == MOSQ_ERR_KEEPALIVE ? QStringLiteral("the broker stopped answering")
                     : rc == MOSQ_ERR_CONN_LOST || rc == MOSQ_ERR_ERRNO ? QStringLiteral("the connection was lost")
                                                                        : QString::fromUtf8(mosquitto_strerror(rc));
    failed(reason);
}
