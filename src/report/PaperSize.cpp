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

QLocale paperLocale(const QString &lcAll, const QString &lcPaper, const QString &lang)
{
    for (const QString &name : {lcAll, lcPaper, lang}) {
        if (name.trimmed().isEmpty())
            continue;
        // "en_US.UTF-8@modifier": the language and territory only.
        const QString bare = name.trimmed().section(u'.', 0, 0).section(u'@', 0, 0);
        return bare == QLatin1String("POSIX") ? QLocale::c() : QLocale(bare);
    }
    return QLocale::c();
}

bool environmentUsesLetterPaper()
{
    return usesLetterPaper(paperLocale(qEnvironmentVariable("LC_ALL"), qEnvironmentVariable("LC_PAPER"),
                                       qEnvironmentVariable("LANG")));
}
