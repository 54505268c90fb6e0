#pragma once
#include <QLocale>

// Whether people of `locale` print on US Letter rather than A4: the US
// measurement system and the countries that keep Letter (the Americas'
// Letter users and the Philippines).
bool usesLetterPaper(const QLocale &locale);

// The locale whose paper a report is printed on, by the C library's order
// for the paper category: LC_ALL, then LC_PAPER, then LANG ("en_US.UTF-8",
// "de_DE@euro"); the first that is set and not empty decides, "C" and
// "POSIX" included (A4).
QLocale paperLocale(const QString &lcAll, const QString &lcPaper, const QString &lang);

// Whether this process's environment prints on Letter.
bool environmentUsesLetterPaper();
