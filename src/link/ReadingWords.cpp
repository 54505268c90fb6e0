#include "link/ReadingWords.h"

#include "link/HexField.h"
#include "shell/Module1.h"

void readModeDateTime(Module1 &m, const QString &s)
{
    const int w1 = HexPacked(s, 2);
    const int w2 = HexPacked(s, 6);
    m.MeasMode = Bits(w1, 15, 12);
    m.PhDecimals = Bits(w1, 11, 10);
    m.ReadMonth = Bits(w1, 9, 6);
    m.ReadSecond = quint8(Bits(w1, 5, 0));
    m.ReadDay = Bits(w2, 15, 11);
    m.ReadHour = Bits(w2, 10, 6);
    m.ReadMinute = Bits(w2, 5, 0);
}
