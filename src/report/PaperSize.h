#pragma once
#include <QLocale>

// Whether people of `locale` print on US Letter rather than A4: the US
// measurement system and the countries that keep Letter (the Americas'
// Letter users and the Philippines).
bool usesLetterPaper(const QLocale &locale);
