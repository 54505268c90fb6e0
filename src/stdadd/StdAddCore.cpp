#include "stdadd/StdAddCore.h"

#include "shell/UiPrompts.h"
#include "stdadd/StdAddition.h"
#include "text/LeadingNumber.h"
#include "text/NumberFormat.h"

namespace {

struct RowText { const char *caption; const char *unit; };

constexpr std::array<RowText, StdAddCore::kRows> kRowTexts{{
    {"The volume of sample solution(Vx)", "mL"},
    {"Electric potential before adding(E1)", "mV"},
    {"Concentration of adding solution(Cs)", "mol/L"},
    {"The first Adding volume(V1)", "mL"},
    {"The first adding Electric potential(E2)", "mV"},
    {"The second adding volume(V2)", "mL"},
    {"The second adding Electric potential(E3)", "mV"},
}};

constexpr std::array<const char *, 3> kUnits{"mol/L", "mg/L", "ppm"};
constexpr int kCsUnitLabel = 5;

// How Cx is shown per unit: above the threshold as it is, at or below it
// times 1000 in the smaller unit.
struct ResultForm { const char16_t *pattern, *unit, *smallPattern, *smallUnit; };
constexpr std::array<ResultForm, 3> kResultForms{{
    {u"0.00E+#0", u" mol/L", nullptr, nullptr},
    {u"#0.000", u" mg/L", u"#0.0", u" \u03bcg/L"},
    {u"#0.000", u" ppm", u"#0.0", u" ppb"},   // ppm × 1000 is parts per billion
}};
constexpr double kSmall = 0.01;

} // namespace

StdAddCore::StdAddCore(UiPrompts *prompts, QObject *parent) : QObject(parent), prompts_(prompts)
{
    for (int k = 0; k < kRows; ++k) {
        Label1[std::size_t(2 * k)].Caption = QString::fromLatin1(kRowTexts[std::size_t(k)].caption);
        Label1[std::size_t(2 * k + 1)].Caption = QString::fromLatin1(kRowTexts[std::size_t(k)].unit);
    }
}

void StdAddCore::Form_Load()
{
    cmdEntEnabled = false;
    Label2.Caption.clear();
    emit changed();
}

void StdAddCore::Timer1_Timer()
{
    // "Enter" comes on once every box holds some text and stays on.
    int mask = 0;
    for (int k = 0; k < kRows; ++k)
        if (!Text1[std::size_t(k)].isEmpty())
            mask |= 1 << k;
    if (mask == (1 << kRows) - 1 && !cmdEntEnabled) {
        cmdEntEnabled = true;
        emit changed();
    }
}

void StdAddCore::Option1_Click(int index)
{
    if (index < 0 || index >= int(kUnits.size()))
        return;
    Option1Value = index;
    Label1[kCsUnitLabel].Caption = QString::fromLatin1(kUnits[std::size_t(index)]);
    emit changed();
}

QString StdAddCore::resultText(double cx, int unit)
{
    if (unit < 0 || unit >= int(kResultForms.size()))
        return {};
    const ResultForm &f = kResultForms[std::size_t(unit)];
    if (f.smallPattern && cx <= kSmall)
        return QStringLiteral("Cx = ") + Format(cx * 1000, f.smallPattern) + QString::fromUtf16(f.smallUnit);
    return QStringLiteral("Cx = ") + Format(cx, f.pattern) + QString::fromUtf16(f.unit);
}

void StdAddCore::cmdEnt_Click()
{
    // 1. The old result goes.
    Label2.Caption.clear();
    emit changed();
    // 2. The inputs by their leading numbers.
    StdAddInputs in;
    double *fields[kRows] = {&in.Vx, &in.E1, &in.Cs, &in.V1, &in.E2, &in.V2, &in.E3};
    for (int k = 0; k < kRows; ++k)
        *fields[k] = Val(Text1[std::size_t(k)]);
    // 3.-4. Cx, or the one complaint this window makes.
    const auto cx = standardAddition(in);
    if (!cx) {
        prompts_->MsgBox(QStringLiteral("Please check out the input data,then click \"Enter\"!"),
                         UiPrompts::Icon::None);
        return;
    }
    // 5. The result in the chosen unit.
    Label2.Caption = resultText(*cx, Option1Value);
    emit changed();
}
