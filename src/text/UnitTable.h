#pragma once
#include <QStringView>

// A unit that the table's cells may carry and how it converts to the base
// unit of its kind of quantity: base = value * scale + offset. Units of one
// `kind` can be shown in one another; units of different kinds cannot.
struct UnitDef
{
    QStringView text;
    QStringView kind;
    double scale;
    double offset;
};

// The unit written as `text` (exactly, case matters: "mS" is not "MS"), or
// nullptr when it is not one the program converts.
const UnitDef *findUnit(QStringView text);
