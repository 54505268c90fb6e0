#include "tidy/Reading.h"

#include "link/MeasModes.h"
#include "table/GridLayouts.h"
#include "text/FixedUnit.h"

#include <QJsonArray>

#include <algorithm>
#include <array>

namespace {

constexpr const char *kFamilies[5] = {"pH", "mV", "ISE", "COND", "DO"};

// Each layout's captions, read once: every reading asks.
const std::array<QStringList, 5> &layoutCaptions()
{
    static const std::array<QStringList, 5> captions = [] {
        std::array<QStringList, 5> out;
        for (std::size_t f = 0; f < out.size(); ++f)
            out[f] = QString::fromUtf16(gridlayout::kLayouts[f].format).remove(QLatin1Char('^')).split(QLatin1Char('|'));
        return out;
    }();
    return captions;
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

QJsonValue orNull(const QJsonValue &v)
{
    return v.isUndefined() ? QJsonValue(QJsonValue::Null) : v;
}

} // namespace

namespace tidy {

QString familyOf(const QStringList &header, int *index)
{
    for (std::size_t f = 0; f < gridlayout::kLayouts.size(); ++f) {
        const QStringList &captions = layoutCaptions()[f];
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

QJsonObject quantity(const QString &caption, const QString &cell)
{
    const FixedQuantity q = fixedQuantity(caption, cell);
    return {{QStringLiteral("name"), caption},
            {QStringLiteral("number"), q.number ? QJsonValue(*q.number) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("unit"), q.unit.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(q.unit)},
            {QStringLiteral("shown"), q.shown}};
}

QJsonObject temperature(const QString &caption, const QString &cell)
{
    QJsonObject t = quantity(caption, cell);
    t.insert(QStringLiteral("compensation"), compensationOf(cell));
    return t;
}

QJsonObject reading(const Context &c, qint64 seq, const QJsonObject &body)
{
    QJsonObject o{{QStringLiteral("meter"), c.meter},
                  {QStringLiteral("recording"), c.recording > 0 ? QJsonValue(c.recording) : QJsonValue(QJsonValue::Null)},
                  {QStringLiteral("seq"), seq > 0 ? QJsonValue(seq) : QJsonValue(QJsonValue::Null)}};
    const QJsonArray cellArray = body.value(QStringLiteral("cells")).toArray();
    QStringList cells;
    for (const QJsonValue &v : cellArray)
        cells << v.toString();
    while (cells.size() < 8)
        cells << QString();
    int family = -1;
    const QString familyName = familyOf(c.header, &family);
    o.insert(QStringLiteral("row"), orNull(body.value(QStringLiteral("row"))));
    // A body written before readings carried their time was a live one,
    // taken when it was received.
    const QJsonValue received = orNull(body.value(QStringLiteral("received")));
    o.insert(QStringLiteral("time"), body.contains(QStringLiteral("time")) ? orNull(body.value(QStringLiteral("time"))) : received);
    o.insert(QStringLiteral("source"), body.contains(QStringLiteral("source")) ? orNull(body.value(QStringLiteral("source")))
                                                                             : QJsonValue(QStringLiteral("live")));
    o.insert(QStringLiteral("received"), received);
    o.insert(QStringLiteral("meter_date"), cells[1]);
    o.insert(QStringLiteral("meter_time"), cells[2]);
    o.insert(QStringLiteral("model"), c.model);
    o.insert(QStringLiteral("family"), familyName.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(familyName));
    const QJsonValue mode = body.value(QStringLiteral("mode"));
    const int modeCode = mode.isDouble() && mode.toInt() >= 0 && mode.toInt() < 16 ? mode.toInt() : -1;
    const char *caption = modeCode >= 0 ? measmode::kCaption[modeCode] : nullptr;
    o.insert(QStringLiteral("mode"), caption ? QJsonValue(QString::fromLatin1(caption)) : QJsonValue(QJsonValue::Null));
    o.insert(QStringLiteral("mode_code"), modeCode >= 0 ? QJsonValue(modeCode) : QJsonValue(QJsonValue::Null));
    // The columns by the layout: 3 the main quantity, the temperature's
    // own column, the derived ones between them.
    const int tempColumn = family >= 0 ? gridlayout::kTemperatureColumn[std::size_t(family)] : -1;
    auto captionOf = [&](int col) { return col < c.header.size() ? c.header[col] : QString(); };
    if (family >= 0) {
        o.insert(QStringLiteral("value"), quantity(captionOf(3), cells[3]));
        o.insert(QStringLiteral("temperature"), temperature(captionOf(tempColumn), cells[tempColumn]));
        QJsonArray derived;
        for (int col = 4; col < tempColumn; ++col)
            derived.append(quantity(captionOf(col), cells[col]));
        o.insert(QStringLiteral("derived"), derived);
    } else {
        o.insert(QStringLiteral("value"), QJsonValue::Null);
        o.insert(QStringLiteral("temperature"), QJsonValue::Null);
        o.insert(QStringLiteral("derived"), QJsonArray());
    }
    // Eight columns, as the cells: a header the store lacks is empty captions.
    QStringList columns = c.header.mid(0, 8);
    while (columns.size() < 8)
        columns << QString();
    o.insert(QStringLiteral("columns"), QJsonArray::fromStringList(columns));
    QJsonArray eightCells;
    for (const QString &cell : cells.mid(0, 8))
        eightCells.append(cell);
    o.insert(QStringLiteral("cells"), eightCells);
    o.insert(QStringLiteral("settings_seq"), orNull(body.value(QStringLiteral("settings"))));
    for (auto [name, value] : {std::pair{"sample", &c.sample}, std::pair{"batch", &c.batch}, std::pair{"method", &c.method}})
        o.insert(QLatin1String(name), value->isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(*value));
    return o;
}

void follow(Context &c, const QJsonObject &event)
{
    const QString name = event.value(QStringLiteral("event")).toString();
    if (name == QLatin1String("begin")) {
        c.header.clear();
        for (const QJsonValue &v : event.value(QStringLiteral("header")).toArray())
            c.header << v.toString();
    } else if (name == QLatin1String("model")) {
        c.model = event.value(QStringLiteral("code")).toString();
    } else if (name == QLatin1String("sample")) {
        c.sample = event.value(QStringLiteral("sample")).toString();
        c.batch = event.value(QStringLiteral("batch")).toString();
        c.method = event.value(QStringLiteral("method")).toString();
    }
}

QString meterId(const QString &device, const QString &stableName)
{
    QString id = stableName.isEmpty() ? device : stableName;
    for (const char *folder : {"/dev/serial/by-id/", "/dev/"})
        if (id.startsWith(QLatin1String(folder))) {
            id = id.mid(int(qstrlen(folder)));
            break;
        }
    while (id.startsWith(QLatin1Char('/')))
        id.remove(0, 1);
    for (QChar &c : id)
        if (c == u'/' || c == u'+' || c == u'#')
            c = u'_';
    return id;
}

} // namespace tidy
