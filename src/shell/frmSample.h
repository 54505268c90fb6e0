#pragma once
#include "record/Annotations.h"

#include <QDialog>

class QLineEdit;

// "Sample…": what is measured from now on, its batch and the method.
class frmSample : public QDialog
{
    Q_OBJECT
public:
    frmSample(const annotation::Sample &now, QWidget *parent = nullptr);
    annotation::Sample sample() const;

private:
    QLineEdit *sample_, *batch_, *method_;
};
