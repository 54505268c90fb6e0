#include "text/VisibleText.h"

namespace visibletext {

QString visible(QString text, Keep keep)
{
    const char16_t highest = keep == Keep::PrintableAscii ? 0x7E : 0xFFFF;
    for (QChar &c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F) || u > highest)
            c = QChar::ReplacementCharacter;
    }
    return text;
}

} // namespace visibletext
