#pragma once
#include <QDialog>

class QPlainTextEdit;
class QRadioButton;
class QSpinBox;

// "Add note…": an operator's comment on the recording, or on a range of
// its rows (proposed: the row the menu was opened on).
class frmNote : public QDialog
{
    Q_OBJECT
public:
    frmNote(int rows, int row, QWidget *parent = nullptr);
    QString text() const;
    // 0, 0: the whole recording.
    int fromRow() const;
    int toRow() const;

private:
    QPlainTextEdit *text_;
    QRadioButton *onRows_;
    QSpinBox *from_, *to_;
};
