#pragma once
#include <QDialog>

class QDoubleSpinBox;
class QLabel;

// The limits a pH electrode's calibration is held against in reports,
// saved for the user (savedlimits): the window's reports and tq800-log's
// (unless given on its command line) check against them.
class frmLimits : public QDialog
{
    Q_OBJECT
public:
    explicit frmLimits(QWidget *parent = nullptr);

private:
    void save();

    QDoubleSpinBox *slopeMin_, *slopeMax_, *offsetMax_;
    QLabel *problem_;
};
