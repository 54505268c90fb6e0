#include "publish/MqttMessages.h"

namespace {

QJsonObject keyed(const mqttmsg::Context &c, qint64 seq)
{
    return {{QStringLiteral("meter"), c.meter}, {QStringLiteral("recording"), c.recording}, {QStringLiteral("seq"), seq}};
}

} // namespace

namespace mqttmsg {

QJsonObject event(const Context &c, qint64 seq, const QJsonObject &body)
{
    QJsonObject o = body;
    const QJsonObject key = keyed(c, seq);
    for (auto i = key.begin(); i != key.end(); ++i)
        o.insert(i.key(), i.value());
    return o;
}

QJsonObject meta(const Meta &m)
{
    return {{QStringLiteral("meter"), m.meter},
            {QStringLiteral("model"), m.model.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(m.model)},
            {QStringLiteral("device"), m.device},
            {QStringLiteral("stable_device"), m.stableDevice.isEmpty() ? QJsonValue(QJsonValue::Null)
                                                                       : QJsonValue(m.stableDevice)},
            {QStringLiteral("settings_frame"), m.settings.value(QStringLiteral("frame"))},
            {QStringLiteral("settings"), m.settings.value(QStringLiteral("fields"))},
            {QStringLiteral("panel"), m.settings.value(QStringLiteral("panel"))},
            {QStringLiteral("version"), QStringLiteral(TQ800_VERSION)}};
}

} // namespace mqttmsg
