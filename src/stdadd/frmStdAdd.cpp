#include "stdadd/frmStdAdd.h"

#include "shell/frmMessageBox.h"
#include "shell/Twips.h"
#include "shell/frmFonts.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

namespace {

struct OptionPlace { const char *caption; int left, width; };
constexpr std::array<OptionPlace, 3> kOptions{{{"mol/L", 360, 1095}, {"mg/L", 1920, 975}, {"ppm", 3240, 855}}};

// Row k of the inputs stands 840 twips below row k - 1.
constexpr int kRowStep = 840;

} // namespace

frmStdAdd::frmStdAdd(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmStdAdd"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Standard Adding Mode"));
    setFixedSize(px(10965), px(9270));

    frame1_ = new QGroupBox(QStringLiteral("Concentration Unit"), this);
    frame1_->setObjectName(QStringLiteral("Frame1"));
    frame1_->setFont(arial(15.75));
    frame1_->setGeometry(twipRect(1200, 480, 4335, 855));
    for (std::size_t i = 0; i < kOptions.size(); ++i) {
        auto *o = new QRadioButton(QString::fromLatin1(kOptions[i].caption), frame1_);
        o->setObjectName(QStringLiteral("Option1_%1").arg(i));
        o->setFont(arial(14.25));
        o->setGeometry(twipRect(kOptions[i].left, 360, kOptions[i].width, 375));
        connect(o, &QRadioButton::clicked, &core_, [this, i] { core_.Option1_Click(int(i)); });
        option1_[i] = o;
    }

    auto button = [this](const char *name, const char *text, int left) {
        auto *b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setFont(arial(15.75));
        b->setGeometry(twipRect(left, 600, 1695, 615));
        return b;
    };
    cmdEnt_ = button("cmdEnt", "Enter", 5760);
    cmdExit_ = button("cmdExit", "Exit", 7800);
    connect(cmdEnt_, &QPushButton::clicked, &core_, &StdAddCore::cmdEnt_Click);
    connect(cmdExit_, &QPushButton::clicked, this, &QWidget::close);

    QFont narrow(QStringLiteral("Arial Narrow"));
    narrow.setFamilies({QStringLiteral("Arial Narrow"), QStringLiteral("Liberation Sans Narrow")});
    narrow.setPointSizeF(21.75);
    for (int k = 0; k < StdAddCore::kRows; ++k) {
        auto *t = new QLineEdit(this);
        t->setObjectName(QStringLiteral("Text1_%1").arg(k));
        t->setFont(narrow);
        t->setGeometry(twipRect(7800, 1560 + kRowStep * k, 1335, 555));
        connect(t, &QLineEdit::textChanged, &core_, [this, k](const QString &s) {
            core_.Text1[std::size_t(k)] = s;
            core_.Timer1_Timer();
        });
        text1_[std::size_t(k)] = t;
        // Caption on the left, unit on the right; both as wide as their text.
        for (int side = 0; side < 2; ++side) {
            auto *l = new QLabel(this);
            l->setObjectName(QStringLiteral("Label1_%1").arg(2 * k + side));
            l->setFont(arial(15.75));
            l->move(px(side == 0 ? 1080 : 9360), px(1680 + kRowStep * k));
            label1_[std::size_t(2 * k + side)] = l;
        }
    }

    label2_ = new QLabel(this);
    label2_->setObjectName(QStringLiteral("Label2"));
    label2_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label2_->setGeometry(twipRect(1200, 7560, 8535, 1215));

    connect(&core_, &StdAddCore::changed, this, &frmStdAdd::render);
    core_.Form_Load();
    render();
}

void frmStdAdd::render()
{
    for (std::size_t i = 0; i < label1_.size(); ++i) {
        label1_[i]->setText(core_.Label1[i].Caption);
        label1_[i]->resize(label1_[i]->sizeHint().width(), px(315));
    }
    for (std::size_t i = 0; i < option1_.size(); ++i)
        option1_[i]->setChecked(core_.Option1Value == int(i));
    label2_->setText(core_.Label2.Caption);
    cmdEnt_->setEnabled(core_.cmdEntEnabled);
}

void frmStdAdd::MsgBox(const QString &text, Icon icon, const QString &detail)
{
    showMessageBox(this, text, icon, detail);
}
