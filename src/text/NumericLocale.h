#pragma once
#include <clocale>
#include <locale.h>

// Numbers that leave as data (exports, the report, the chart's scale, the
// store's views, MQTT) read "7.01" whatever the user's language. Our own
// conversions never ask the locale (std::from_chars, std::to_chars,
// QLocale::c()), but libraries print numbers with the C library
// (libxlsxwriter writes a cell's value with printf), and Qt hands the C
// library the user's locale when the application object is made: every
// program calls this right after making it. Only LC_NUMERIC changes: texts,
// dates, messages and what QLocale shows in a field keep the user's language.
inline void useCNumbers()
{
    std::setlocale(LC_NUMERIC, "C");
}

// The same for this thread only, while the object lives: a writer that
// hands numbers to such a library holds one, so that its file is right even
// in a process that never called useCNumbers() (a test, a host of our code).
class CNumbersHere
{
public:
    CNumbersHere();
    ~CNumbersHere();
    CNumbersHere(const CNumbersHere &) = delete;
    CNumbersHere &operator=(const CNumbersHere &) = delete;

private:
    locale_t c_ = nullptr;
    locale_t previous_ = nullptr;
};
