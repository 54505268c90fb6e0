#pragma once
#include "shell/Label.h"

#include <QObject>
#include <QString>
#include <array>

class UiPrompts;

// The standard-addition window without its pixels: the seven boxes, the
// unit choice, the result and the state of "Enter". The window and the
// tests drive this object.
class StdAddCore : public QObject
{
    Q_OBJECT
public:
    explicit StdAddCore(UiPrompts *prompts, QObject *parent = nullptr);

    // Rows: Vx, E1, Cs, V1, E2, V2, E3.
    static constexpr int kRows = 7;
    std::array<QString, kRows> Text1;
    std::array<Label, 2 * kRows> Label1;   // caption 2k, unit 2k + 1
    Label Label2;                          // the result
    int Option1Value = 0;                  // 0 mol/L, 1 mg/L, 2 ppm; -1 none
    bool cmdEntEnabled = false;

    void Form_Load();
    // A box's text changed (the window's polling timer does the same).
    void Timer1_Timer();
    void Option1_Click(int index);
    void cmdEnt_Click();

    // The result label for Cx in the unit chosen; empty with no unit.
    static QString resultText(double cx, int unit);

signals:
    void changed();

private:
    UiPrompts *prompts_;
};
