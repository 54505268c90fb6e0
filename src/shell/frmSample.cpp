#include "shell/frmSample.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

frmSample::frmSample(const annotation::Sample &now, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Sample"));
    setObjectName(QStringLiteral("frmSample"));
    auto *form = new QFormLayout(this);
    auto field = [&](const char *name, const QString &label, const QString &text) {
        auto *e = new QLineEdit(text);
        e->setObjectName(QLatin1String(name));
        form->addRow(label, e);
        return e;
    };
    sample_ = field("sample", QStringLiteral("Sample:"), now.sample);
    batch_ = field("batch", QStringLiteral("Batch:"), now.batch);
    method_ = field("method", QStringLiteral("Method:"), now.method);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    setMinimumWidth(360);
}

annotation::Sample frmSample::sample() const
{
    return {sample_->text().trimmed(), batch_->text().trimmed(), method_->text().trimmed()};
}
