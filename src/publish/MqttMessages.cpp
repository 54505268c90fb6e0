#include "publish/MqttMessages.h"

#include "link/MeasModes.h"
#include "report/CellNumber.h"
#include "report/UnitTable.h"
#include "table/GridLayouts.h"

#include <QJsonArray>

namespace {

constexpr const char *kFamilies[5] = {"pH", "mV", "ISE", "COND", "DO"};

QStringList captionsOf(const char16_t *format)
{
    QStringList out = QString::fromUtf16(format).remove(QLatin1Char('^')).split(QLatin1Char('|'));
    return out;
}

// The compensation a temperature cell names after its unit: "25.0°C(ATC)" -> "ATC".
QJsonValue compensationOf(const QString &cell)
{
    const QString t = cell.trimmed();
    const qsizetype open = t.lastIndexOf(QLatin1Char('('));
    if (!t.endsWith(QLatin1Char(')')) || open < 0)
        return QJsonValue::Null;
    return t.mid(open + 1, t.size() - open - 2);
}

// A cell as {"name", "number", "unit"}: the number null where the cell
// shows none ("----"), the unit the cell's own, else the column's caption
// where that is a unit (a pH or mV column shows bare numbers), else null.
QJsonObject quantity(const QString &caption, const QString &cell)
{
    const std::optional<CellNumber> n = readCellNumber(cell);
    QJsonValue unit = QJsonValue::Null;
    if (n && !n->unit.isEmpty())
        unit = n->unit;
    else if (caption == QLatin1String("pH") || caption == QLatin1String("pX") || findUnit(caption))
        unit = caption;
    return {{QStringLiteral("name"), caption},
            {QStringLiteral("number"), n ? QJsonValue(n->value) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("unit"), unit}};
}

QJsonObject keyed(const mqttmsg::Context &c, qint64 seq)
{
    return {{QStringLiteral("meter"), c.meter}, {QStringLiteral("recording"), c.recording}, {QStringLiteral("seq"), seq}};
}

} // namespace

namespace mqttmsg {

QString familyOf(const QStringList &header, int *index)
{
    for (std::size_t f = 0; f < gridlayout::kLayouts.size(); ++f) {
        const QStringList captions = captionsOf(gridlayout::kLayouts[f].format);
        if (header.mid(0, captions.size()) == captions
            && std::all_of(header.begin() + captions.size(), header.end(), [](const QString &h) { return h.isEmpty(); })) {
            if (index)
                *index = int(f);
            return QString::fromLatin1(kFamilies[f]);
        }
    }
    if (index)
        *index = -1;
    return {};
}

QJsonObject reading(const Context &c, qint64 seq, const QJsonObject &body)
{
    QJsonObject o = keyed(c, seq);
    const QJsonArray cellArray = body.value(QStringLiteral("cells")).toArray();
    QStringList cells;
    for (const QJsonValue &v : cellArray)
        cells << v.toString();
    while (cells.size() < 8)
        cells << QString();
    int family = -1;
    const QString familyName = familyOf(c.header, &family);
    o.insert(QStringLiteral("row"), body.value(QStringLiteral("row")));
    o.insert(QStringLiteral("received"), body.value(QStringLiteral("received")));
    o.insert(QStringLiteral("meter_date"), cells[1]);
    o.insert(QStringLiteral("meter_time"), cells[2]);
    o.insert(QStringLiteral("model"), c.model);
    o.insert(QStringLiteral("family"), familyName.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(familyName));
    const QJsonValue mode = body.value(QStringLiteral("mode"));
    const int modeCode = mode.isDouble() ? mode.toInt() : -1;
    const char *caption = modeCode >= 0 && modeCode < 16 ? measmode::kCaption[modeCode] : nullptr;
    o.insert(QStringLiteral("mode"), caption ? QJsonValue(QString::fromLatin1(caption)) : QJsonValue(QJsonValue::Null));
    o.insert(QStringLiteral("mode_code"), modeCode >= 0 ? QJsonValue(modeCode) : QJsonValue(QJsonValue::Null));
    // The columns by the layout: 3 the main quantity, the temperature's
    // own column, the derived ones between them.
    const int tempColumn = family >= 0 ? gridlayout::kTemperatureColumn[std::size_t(family)] : -1;
    auto caption_ = [&](int col) { return col < c.header.size() ? c.header[col] : QString(); };
    if (family >= 0) {
        o.insert(QStringLiteral("value"), quantity(caption_(3), cells[3]));
        QJsonObject t = quantity(caption_(tempColumn), cells[tempColumn]);
        t.insert(QStringLiteral("compensation"), compensationOf(cells[tempColumn]));
        o.insert(QStringLiteral("temperature"), t);
        QJsonArray derived;
        for (int col = 4; col < tempColumn; ++col)
            derived.append(quantity(caption_(col), cells[col]));
        o.insert(QStringLiteral("derived"), derived);
    } else {
        o.insert(QStringLiteral("value"), QJsonValue::Null);
        o.insert(QStringLiteral("temperature"), QJsonValue::Null);
        o.insert(QStringLiteral("derived"), QJsonArray());
    }
    o.insert(QStringLiteral("columns"), QJsonArray::fromStringList(c.header));
    o.insert(QStringLiteral("cells"), cellArray);
    o.insert(QStringLiteral("settings_seq"), body.value(QStringLiteral("settings")));
    return o;
}

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
