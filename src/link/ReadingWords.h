#pragma once
#include <QString>

struct Module1;

// The first two words of a live reading and of a stored record, laid out
// alike: word 1 (positions 2-5) the measuring mode, the decimals code, the
// month and the second; word 2 (positions 6-9) the day, the hour and the
// minute. Sets those variables from frame content `s`.
void readModeDateTime(Module1 &m, const QString &s);
