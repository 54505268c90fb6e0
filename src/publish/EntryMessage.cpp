#include "publish/EntryMessage.h"

#include <QJsonArray>
#include <QJsonDocument>

EntryMessage entryMessage(mqttmsg::Context &context, mqttmsg::Meta &meta, const QString &prefix,
                          const hashchain::Entry &e)
{
    EntryMessage m;
    const QJsonObject body = QJsonDocument::fromJson(e.body).object();
    if (e.kind == QLatin1String("row")) {
        context.model = meta.model;
        m.body = mqttmsg::reading(context, e.seq, body);
        m.topic = prefix + QStringLiteral("/reading");
        m.reading = true;
        return m;
    }
    const QString name = body.value(QStringLiteral("event")).toString();
    // The live meta keeps the model (the context takes it at each reading).
    tidy::follow(context, body);
    if (name == QLatin1String("model")) {
        meta.model = body.value(QStringLiteral("code")).toString();
        m.metaChanged = true;
    } else if (name == QLatin1String("settings")) {
        meta.settings = body;
        m.metaChanged = true;
    } else if (name == QLatin1String("port_opened")) {
        meta.device = body.value(QStringLiteral("device")).toString();
        meta.stableDevice = body.value(QStringLiteral("stable")).toString();
        m.metaChanged = true;
    }
    m.body = mqttmsg::event(context, e.seq, body);
    m.topic = prefix + QStringLiteral("/event");
    return m;
}
