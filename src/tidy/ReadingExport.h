#pragma once
#include "tidy/ReadingSource.h"

// The exports a data tool reads as data, one reading each:
//   JsonLines  one JSON object a line, the same object as the MQTT reading
//   TidyCsv    one row a reading: recording, seq, row, time, received,
//              source, mode, each quantity's number in its fixed unit (the
//              unit in the column's name, "COND_uS_cm"), compensation,
//              the settings entry in force and the sample, batch and
//              method measured; plain UTF-8 that pandas reads
//              into numeric columns without options
// Written through ReplaceFile as the other exports are. Empty on success,
// else why not; "cancelled" when `source.progress` answered false (nothing
// is made then).
enum class ReadingFormat { JsonLines, TidyCsv };

QString exportReadings(const QString &path, ReadingFormat format, const ReadingSource &source);
