#pragma once
#include "shell/UiPrompts.h"

#include <QApplication>
#include <QMessageBox>

// The one modal message box of both windows: the program's title, an OK
// button, the stop icon when asked, and what the user can do about it
// (if anything) under the text.
inline void showMessageBox(QWidget *parent, const QString &text, UiPrompts::Icon icon, const QString &detail)
{
    QMessageBox box(icon == UiPrompts::Icon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon,
                    QApplication::applicationName(), text, QMessageBox::Ok, parent);
    box.setInformativeText(detail);
    box.exec();
}
