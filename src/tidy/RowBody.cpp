#include "tidy/RowBody.h"

#include "table/GridLayouts.h"
#include "text/MeterClock.h"
#include "tidy/Reading.h"

#include <QJsonArray>

namespace tidy {

QJsonValue readingTime(const RowFacts &f)
{
    if (f.source == Source::Live)
        return f.received.isValid() ? QJsonValue(meterclock::isoWithOffset(f.received)) : QJsonValue(QJsonValue::Null);
    const QDateTime downloaded = f.downloaded.isValid() ? f.downloaded : f.received;
    const auto t = meterclock::recordTime(f.cells[1], f.cells[2], downloaded);
    return t ? QJsonValue(meterclock::isoWithOffset(*t)) : QJsonValue(QJsonValue::Null);
}

QJsonObject rowBody(const RowFacts &f)
{
    QJsonArray cells;
    for (const QString &c : f.cells)
        cells.append(c);
    static constexpr const char *kSources[] = {"live", "memory", nullptr};
    const char *source = kSources[int(f.source)];
    QJsonObject body{{QStringLiteral("row"), f.row},
                     {QStringLiteral("cells"), cells},
                     {QStringLiteral("received"), f.received.isValid() ? QJsonValue(meterclock::isoWithOffset(f.received))
                                                                       : QJsonValue(QJsonValue::Null)},
                     {QStringLiteral("settings"), f.settings},
                     {QStringLiteral("mode"), f.mode},
                     {QStringLiteral("time"), readingTime(f)},
                     {QStringLiteral("source"), source ? QJsonValue(QString::fromLatin1(source)) : QJsonValue(QJsonValue::Null)}};
    int family = -1;
    familyOf(f.header, &family);
    if (family >= 0) {
        const int tempColumn = gridlayout::kTemperatureColumn[std::size_t(family)];
        body.insert(QStringLiteral("value"), quantity(f.header.value(3), f.cells[3]));
        body.insert(QStringLiteral("temperature"), temperature(f.header.value(tempColumn), f.cells[std::size_t(tempColumn)]));
    }
    return body;
}

} // namespace tidy
