#include "shell/LeadingNumber.h"

#include <QByteArray>
#include <cstdlib>

double Val(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto at = [&](qsizetype k) { return k < n ? text[k].unicode() : char16_t(0); };
    auto digit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    while (i < n && (at(i) == u' ' || at(i) == u'\t'))
        ++i;
    const qsizetype start = i;
    if (at(i) == u'+' || at(i) == u'-')
        ++i;
    qsizetype mantissaDigits = 0;
    while (digit(at(i))) { ++i; ++mantissaDigits; }
    if (at(i) == u'.') {
        ++i;
        while (digit(at(i))) { ++i; ++mantissaDigits; }
    }
    if (mantissaDigits == 0)
        return 0;
    qsizetype end = i;
    if (at(i) == u'e' || at(i) == u'E') {
        qsizetype j = i + 1;
        if (at(j) == u'+' || at(j) == u'-')
            ++j;
        if (digit(at(j))) {
            while (digit(at(j)))
                ++j;
            end = j;
        }
    }
    const QByteArray num = text.mid(start, end - start).toLatin1();
    return std::strtod(num.constData(), nullptr);
}
