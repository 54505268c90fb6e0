#include "publish/MqttMessages.h"

#include "record/SettingsFields.h"

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
    if (o.value(QStringLiteral("fields")).isObject())   // a settings event, of any age
        o.insert(QStringLiteral("fields"), settingsfields::asData(o.value(QStringLiteral("fields")).toObject()));
    const QJsonObject key = keyed(c, seq);
    for (auto i = key.begin(); i != key.end(); ++i)
        o.insert(i.key(), i.value());
    return o;
}

QJsonObject meta(const Meta &m)
{
    auto orNull = [](const QString &s) { return s.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(s); };
    // Every field always there, null until the meter has said it; the
    // settings as numbers, also where the store kept them as texts.
    const bool anySettings = m.settings.contains(QStringLiteral("fields"));
    return {{QStringLiteral("meter"), m.meter},
            {QStringLiteral("model"), orNull(m.model)},
            {QStringLiteral("device"), orNull(m.device)},
            {QStringLiteral("stable_device"), orNull(m.stableDevice)},
            {QStringLiteral("settings_frame"), orNull(m.settings.value(QStringLiteral("frame")).toString())},
            {QStringLiteral("settings"), anySettings
                 ? QJsonValue(settingsfields::asData(m.settings.value(QStringLiteral("fields")).toObject()))
                 : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("panel"), m.settings.value(QStringLiteral("panel")).isArray() ? m.settings.value(QStringLiteral("panel"))
                                                                                           : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("version"), QStringLiteral(TQ800_VERSION)}};
}

} // namespace mqttmsg
