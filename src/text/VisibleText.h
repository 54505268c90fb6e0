#pragma once
#include <QString>

// Text that came from outside (the meter's line, a store someone else
// wrote, a file name) shown to a person: on a terminal, in a report, in the
// window's title. A control character there is not shown but obeyed (an
// escape retitles or clears a terminal, a carriage return overwrites what
// was printed), so each one becomes the replacement character: visible, and
// never a control code. The length stays: one character for one.
namespace visibletext {

enum class Keep {
    AnyPrintable,    // every printable character, "µS/cm" and "Ω" among them
    PrintableAscii,  // what the meter speaks; anything else from it is noise
};

// `text` with every control character (C0, tab and newline among them,
// DEL and C1), and with PrintableAscii every character beyond ASCII, made
// U+FFFD.
QString visible(QString text, Keep keep = Keep::AnyPrintable);

} // namespace visibletext
