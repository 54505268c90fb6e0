#pragma once
#include <QDialog>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;

// "Sign…": the meaning from a list, the reason, and the password of the
// account running the program. It only collects them: `sign` checks and
// records the signature and answers why not, shown in the dialog, which
// stays open for another try (the password field emptied).
class frmSign : public QDialog
{
    Q_OBJECT
public:
    using Sign = std::function<QString(const QString &meaning, const QString &reason, QByteArray &password)>;
    frmSign(const QString &signer, const QString &what, Sign sign, QWidget *parent = nullptr);

private:
    void trySign();

    Sign sign_;
    QComboBox *meaning_;
    QLineEdit *reason_, *password_;
    QLabel *refused_;
};
