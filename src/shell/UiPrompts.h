#pragma once
#include <QString>

// The dialogs the core asks for. The window answers with real message boxes
// and dialogs; the headless logger and the tests answer by themselves (by
// default: a save dialog is cancelled, progress and opening are not shown).
class UiPrompts
{
public:
    enum class Icon { None, Critical };
    virtual ~UiPrompts() = default;
    // `detail` is what the user can do about it, shown under the text.
    virtual void MsgBox(const QString &text, Icon icon, const QString &detail = QString()) = 0;

    // A notice about something that may end by itself (a lost port): it
    // must neither wait for an answer nor outlive its cause. One at a time:
    // a new text replaces the one shown, "" takes it away.
    virtual void Notice(const QString &text) { Q_UNUSED(text) }

    // The save dialog: the file chosen, or "" when cancelled. `filter` lists
    // "Description(*.ext)" entries separated by "|"; the one chosen goes to
    // `chosenFilter` where given (two entries may share a suffix).
    virtual QString SaveFileName(const QString &title, const QString &proposed, const QString &filter,
                                 QString *chosenFilter = nullptr)
    {
        Q_UNUSED(title) Q_UNUSED(proposed) Q_UNUSED(filter) Q_UNUSED(chosenFilter)
        return {};
    }
    // A long task's progress, 0 <= done <= total; done == total closes it.
    // False once the user asked to cancel it.
    virtual bool Progress(const QString &text, int done, int total)
    {
        Q_UNUSED(text) Q_UNUSED(done) Q_UNUSED(total)
        return true;
    }
    // Opens a file this program wrote in the desktop's program for it, if
    // there is one; best effort.
    virtual void OpenDocument(const QString &file) { Q_UNUSED(file) }
};
