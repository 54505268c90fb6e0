#include "shell/frmNote.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

frmNote::frmNote(int rows, int row, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Add note"));
    setObjectName(QStringLiteral("frmNote"));
    text_ = new QPlainTextEdit;
    text_->setObjectName(QStringLiteral("text"));
    auto *whole = new QRadioButton(QStringLiteral("On the recording"));
    onRows_ = new QRadioButton(QStringLiteral("On rows"));
    from_ = new QSpinBox;
    to_ = new QSpinBox;
    for (QSpinBox *s : {from_, to_}) {
        s->setRange(1, qMax(1, rows));
        s->setValue(qBound(1, row, qMax(1, rows)));
    }
    connect(from_, &QSpinBox::valueChanged, to_, [this](int v) { to_->setMinimum(v); });
    (row > 0 && rows > 0 ? onRows_ : whole)->setChecked(true);
    onRows_->setEnabled(rows > 0);
    auto *range = new QHBoxLayout;
    range->addWidget(onRows_);
    range->addWidget(from_);
    range->addWidget(new QLabel(QStringLiteral("to")));
    range->addWidget(to_);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    QPushButton *add = buttons->addButton(QStringLiteral("Add"), QDialogButtonBox::AcceptRole);
    add->setEnabled(false);
    connect(text_, &QPlainTextEdit::textChanged, add, [this, add] { add->setEnabled(!text().isEmpty()); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(whole);
    layout->addLayout(range);
    layout->addWidget(buttons);
}

QString frmNote::text() const
{
    return text_->toPlainText().trimmed();
}

int frmNote::fromRow() const
{
    return onRows_->isChecked() ? from_->value() : 0;
}

int frmNote::toRow() const
{
    return onRows_->isChecked() ? to_->value() : 0;
}
