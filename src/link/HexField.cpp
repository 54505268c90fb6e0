#include "link/HexField.h"

int HexSigned(QStringView content, int position)
{
    int value = 0;
    int digits = 0;
    if (position < 1)
        return 0;
    for (int k = position - 1; k < position + 3 && k < content.size(); ++k) {
        const char16_t c = content[k].unicode();
        int d;
        if (c >= u'0' && c <= u'9')
            d = c - u'0';
        else if (c >= u'A' && c <= u'F')
            d = c - u'A' + 10;
        else if (c >= u'a' && c <= u'f')
            d = c - u'a' + 10;
        else
            break;
        value = value * 16 + d;
        ++digits;
    }
    if (digits == 4 && value >= 0x8000)
        value -= 0x10000;
    return value;
}
