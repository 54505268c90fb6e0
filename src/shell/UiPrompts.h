#pragma once
#include <QString>

// The dialogs the core asks for. The window answers with real message boxes;
// the headless logger and the tests answer by themselves.
class UiPrompts
{
public:
    enum class Icon { None, Critical };
    virtual ~UiPrompts() = default;
    // `detail` is what the user can do about it, shown under the text.
    virtual void MsgBox(const QString &text, Icon icon, const QString &detail = QString()) = 0;
};
