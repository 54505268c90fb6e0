#pragma once
#include "shell/UiPrompts.h"
#include "stdadd/StdAddCore.h"

#include <QWidget>
#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// "Standard Adding Mode": draws the calculator's core at its twip layout and
// hands typing and clicks to it. Exit (or closing the window) unloads it:
// the window is deleted, and the next Std-Add makes a fresh one.
class frmStdAdd : public QWidget, public UiPrompts
{
    Q_OBJECT
public:
    explicit frmStdAdd(QWidget *parent = nullptr);

    StdAddCore &core() { return core_; }
    void MsgBox(const QString &text, Icon icon, const QString &detail = QString()) override;

private:
    void render();

    StdAddCore core_{this};
    QGroupBox *frame1_;
    std::array<QRadioButton *, 3> option1_{};
    QPushButton *cmdEnt_, *cmdExit_;
    std::array<QLineEdit *, StdAddCore::kRows> text1_{};
    std::array<QLabel *, 2 * StdAddCore::kRows> label1_{};
    QLabel *label2_;
};
