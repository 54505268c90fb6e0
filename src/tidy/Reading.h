#pragma once
#include <QJsonObject>
#include <QStringList>

// A reading as it leaves the program as data: one completed table row, made
// from the body the recordings store keeps of it. The broker carries this
// object, and the JSON Lines and tidy CSV exports write it, so that every
// consumer reads the same fields: the reading's key (recording, seq), its
// one time and where it came from (`source`: "live" or "memory"), and each
// quantity with its number in the quantity's fixed unit beside the meter's
// text.
namespace tidy {

struct Context
{
    QString meter;          // the meter id
    QString model;          // its model code, as last announced
    qint64 recording = 0;   // 0: not stored (null in the reading)
    QStringList header;     // the recording's column captions
    // The sample measured (its "sample" event in force): empty, null.
    QString sample, batch, method;
};

// Keeps `c` as the recording's events pass in order: the header at
// "begin", the model code at "model", the sample at "sample".
void follow(Context &c, const QJsonObject &event);

// The family a table layout belongs to ("pH", "mV", "ISE", "COND", "DO"),
// its index 0..4 in `index`; "" and -1 for a header no layout has.
QString familyOf(const QStringList &header, int *index = nullptr);

// Cell `cell` of the column `caption` as {"name", "number", "unit",
// "shown"}: the number in the fixed unit (null where the cell shows none,
// "----"), the meter's text in "shown".
QJsonObject quantity(const QString &caption, const QString &cell);
// The same for a temperature cell, with its "compensation" ("ATC", "MTC",
// null where the cell names none).
QJsonObject temperature(const QString &caption, const QString &cell);

// The reading of entry `seq` (0: not stored) of a row `body`.
QJsonObject reading(const Context &c, qint64 seq, const QJsonObject &body);

// The meter id: the port's /dev/serial/by-id name where it has one, else
// the device path, without "/dev/" and with "/", "+" and "#" made "_".
QString meterId(const QString &device, const QString &stableName);

} // namespace tidy
