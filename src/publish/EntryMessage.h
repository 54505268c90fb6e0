#pragma once
#include "publish/MqttMessages.h"
#include "record/HashChain.h"

#include <QJsonObject>
#include <QString>

// What an entry of the recordings store becomes on the broker: a reading or
// an event under the topic prefix. The live publisher and a republish make
// it alike, so that a message sent again is the one sent first.
struct EntryMessage
{
    QString topic;
    QJsonObject body;
    bool reading = false;
    bool metaChanged = false;   // a model, settings or port event: the meta has news
};

// `context` and `meta` follow the events as they pass: the table's header at
// "begin", the model code, the settings in force, the port.
EntryMessage entryMessage(mqttmsg::Context &context, mqttmsg::Meta &meta, const QString &prefix,
                          const hashchain::Entry &e);
