#include "record/SettingsFields.h"

#include "text/FixedUnit.h"
#include "text/Variant.h"

namespace settingsfields {
namespace {

QJsonValue asNumber(const QJsonValue &v)
{
    if (!v.isString())
        return v.isUndefined() ? QJsonValue(QJsonValue::Null) : v;
    const QString text = v.toString().trimmed();
    if (text.isEmpty())
        return QJsonValue::Null;
    const std::optional<double> n = shiftedDecimal(text, 0);   // the whole text, read exactly
    return n ? QJsonValue(*n) : v;
}

} // namespace

QJsonValue value(const Variant &v)
{
    if (v.isEmpty())
        return QJsonValue::Null;
    return v.isNumber() ? QJsonValue(v.toDouble()) : QJsonValue(v.toString());
}

QJsonObject asData(const QJsonObject &stored)
{
    QJsonObject out = stored;
    for (const Field &f : kFields) {
        const QString name = QString::fromLatin1(f.name);
        const QJsonValue v = stored.value(name);
        out.insert(name, f.kind == Kind::Text ? (v.isUndefined() ? QJsonValue(QJsonValue::Null) : v) : asNumber(v));
    }
    return out;
}

double number(const QJsonValue &v)
{
    const QJsonValue n = asNumber(v);
    return n.isDouble() ? n.toDouble() : 0;
}

} // namespace settingsfields
