#pragma once
#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>

#include <array>

// The body the recordings store keeps of a completed table row: the cells
// as shown, and what a reader of the store wants without parsing them
// (the `readings` view reads these paths): "time" and "source", and the
// main quantity and the temperature in their fixed units,
//   "value": {"name", "number", "unit", "shown"}
//   "temperature": {"name", "number", "unit", "shown", "compensation"}
namespace tidy {

enum class Source { Live, Memory, Unknown };

struct RowFacts
{
    int row = 0;
    std::array<QString, 8> cells;
    QStringList header;                  // the table's captions
    Source source = Source::Live;
    QDateTime received;                  // invalid: not known (null)
    // The moment a record's year is read against (meterclock): when it was
    // downloaded; invalid: `received`.
    QDateTime downloaded;
    QJsonValue settings = QJsonValue::Null;   // the settings entry in force
    QJsonValue mode = QJsonValue::Null;       // the measuring mode code
};

QJsonObject rowBody(const RowFacts &f);

// The reading's time as rowBody writes it: a live one's when it was
// received; a memory record's (and, where the source is not known, any
// row's) the meter's date and time of the row; null where there is none.
QJsonValue readingTime(const RowFacts &f);

} // namespace tidy
