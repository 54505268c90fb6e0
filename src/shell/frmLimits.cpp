#include "shell/frmLimits.h"

#include "report/SavedLimits.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>

namespace {

QDoubleSpinBox *spin(QWidget *parent, double value, double max, const QString &unit)
{
    auto *s = new QDoubleSpinBox(parent);
    s->setRange(0, max);
    s->setDecimals(2);
    s->setSuffix(unit);
    s->setValue(value);
    return s;
}

} // namespace

frmLimits::frmLimits(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ReportLimits"));
    setWindowTitle(QStringLiteral("Report limits"));
    const ReportLimits l = savedlimits::load();
    auto *form = new QFormLayout(this);
    form->addRow(new QLabel(QStringLiteral("A pH electrode's calibration passes within these limits (on them too):"), this));
    slopeMin_ = spin(this, l.slopeMin, 200, QStringLiteral(" %"));
    slopeMax_ = spin(this, l.slopeMax, 200, QStringLiteral(" %"));
    offsetMax_ = spin(this, l.offsetMaxAbsMv, 1000, QStringLiteral(" mV"));
    form->addRow(QStringLiteral("Lowest slope"), slopeMin_);
    form->addRow(QStringLiteral("Highest slope"), slopeMax_);
    form->addRow(QStringLiteral("Largest offset, ±"), offsetMax_);
    problem_ = new QLabel(this);
    problem_->setStyleSheet(QStringLiteral("color: #b00000"));
    form->addRow(problem_);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel | QDialogButtonBox::RestoreDefaults, this);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &frmLimits::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this, [this] {
        const ReportLimits d;
        slopeMin_->setValue(d.slopeMin);
        slopeMax_->setValue(d.slopeMax);
        offsetMax_->setValue(d.offsetMaxAbsMv);
    });
}

void frmLimits::save()
{
    ReportLimits l;
    l.slopeMin = slopeMin_->value();
    l.slopeMax = slopeMax_->value();
    l.offsetMaxAbsMv = offsetMax_->value();
    // Said in the dialog, which stays open to be mended.
    const QString why = savedlimits::save(l);
    problem_->setText(why.isEmpty() ? QString() : QStringLiteral("Not saved: %1.").arg(why));
    if (why.isEmpty())
        accept();
}
