#pragma once
#include <QJsonObject>
#include <QJsonValue>

class Variant;

// The decoded settings a settings event keeps ("fields") as data: every
// number a JSON number, a text (the cell constant as the meter writes it)
// a text, a setting never received null. Stores written before kept the
// numbers as texts ("-1.35"); whoever reads them back (the broker's meta,
// the report) reads both.
namespace settingsfields {

enum class Kind { Integer, Number, Text };

struct Field
{
    const char *name;
    Kind kind;
};

// Every setting a settings frame decodes, in the order events list them.
inline constexpr Field kFields[] = {
    {"MeterFamily", Kind::Integer}, {"TempUnit", Kind::Integer},     {"TimerSetting", Kind::Integer},
    {"SoluSet", Kind::Integer},     {"PhPu1", Kind::Integer},        {"PhPu2", Kind::Integer},
    {"PhCalBuffers", Kind::Integer}, {"PhCalCount", Kind::Integer},  {"CalOffset", Kind::Number},
    {"CalSlope", Kind::Number},     {"MvUref", Kind::Integer},       {"IonType", Kind::Integer},
    {"IseCal1", Kind::Integer},     {"IseCal2", Kind::Integer},      {"ConDecimals", Kind::Integer},
    {"CellConstText", Kind::Text},  {"CondTref", Kind::Integer},     {"CondCtc", Kind::Integer},
    {"CondCalStd", Kind::Integer},  {"DoResCode", Kind::Integer},
};

// A setting the program holds as a variant: its number, its text where it
// holds one, null where nothing was received.
QJsonValue value(const Variant &v);

// `stored` (an event's "fields", of any age) with every setting above
// present, numbers as numbers; a number stored as a text that reads as
// none stays that text. Names not above are kept as they are.
QJsonObject asData(const QJsonObject &stored);

// A setting's number, whether stored as a number or as a text; 0 for none.
double number(const QJsonValue &v);

} // namespace settingsfields
