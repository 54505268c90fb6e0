#include "shell/frmSign.h"

#include "record/Annotations.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmSign::frmSign(const QString &signer, const QString &what, Sign sign, QWidget *parent)
    : QDialog(parent), sign_(std::move(sign))
{
    setWindowTitle(QStringLiteral("Sign"));
    setObjectName(QStringLiteral("frmSign"));
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Signing:"), new QLabel(what));
    form->addRow(QStringLiteral("Signed by:"), new QLabel(signer));
    meaning_ = new QComboBox;
    meaning_->setObjectName(QStringLiteral("meaning"));
    for (const annotation::Meaning &m : annotation::kMeanings)
        meaning_->addItem(QString::fromLatin1(m.line), QString::fromLatin1(m.key));
    form->addRow(QStringLiteral("Meaning:"), meaning_);
    reason_ = new QLineEdit;
    reason_->setObjectName(QStringLiteral("reason"));
    form->addRow(QStringLiteral("Reason:"), reason_);
    password_ = new QLineEdit;
    password_->setObjectName(QStringLiteral("password"));
    password_->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("Password:"), password_);
    refused_ = new QLabel;
    refused_->setObjectName(QStringLiteral("refused"));
    refused_->setStyleSheet(QStringLiteral("color: #b00000"));
    refused_->setWordWrap(true);
    refused_->hide();
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    buttons->addButton(QStringLiteral("Sign"), QDialogButtonBox::AcceptRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &frmSign::trySign);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(new QLabel(QStringLiteral("Your password proves that you, the person logged in, sign. "
                                                "It is checked by the system and never kept.")));
    layout->addWidget(refused_);
    layout->addWidget(buttons);
    setMinimumWidth(460);
}

void frmSign::trySign()
{
    QByteArray password = password_->text().toUtf8();
    password_->clear();
    const QString why = sign_(meaning_->currentData().toString(), reason_->text(), password);
    if (why.isEmpty()) {
        accept();
        return;
    }
    refused_->setText(why);
    refused_->show();
}
