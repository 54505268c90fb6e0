#include "report/PaperSize.h"

#include <array>

namespace {

constexpr std::array kLetterTerritories = {
    QLocale::UnitedStates, QLocale::Canada,     QLocale::Mexico,     QLocale::PuertoRico,
    QLocale::Belize,       QLocale::Guatemala,  QLocale::ElSalvador, QLocale::Nicaragua,
    QLocale::CostaRica,    QLocale::Panama,     QLocale::Colombia,   QLocale::Venezuela,
    QLocale::Chile,        QLocale::Philippines,
};

} // namespace

bool usesLetterPaper(const QLocale &locale)
{
    if (locale.measurementSystem() == QLocale::ImperialUSSystem)
        return true;
    for (QLocale::Territory t : kLetterTerritories)
        if (locale.territory() == t)
            return true;
    return false;
}
