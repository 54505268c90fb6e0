#include "lcd/LcdWidget.h"

#include "lcd/LcdLayout.h"
#include "lcd/LcdMirror.h"
#include "shell/Twips.h"

#include <QLabel>
#include <QPainter>

LcdWidget::LcdWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Picture1"));
    setFixedSize(px(lcd::kPanelWidth), px(lcd::kPanelHeight));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(128, 128, 255));
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);

    for (std::size_t i = 0; i < fields_.size(); ++i) {
        const auto &g = lcd::kFields[i];
        auto *l = new QLabel(this);
        l->setObjectName(QStringLiteral("lblLCD_%1").arg(i));
        l->setGeometry(twipRect(g.left, g.top, g.width, g.height));
        QFont font(QStringLiteral("Arial"));
        font.setPointSizeF(g.points);
        l->setFont(font);
        const Qt::Alignment h = g.align == lcd::Align::Left ? Qt::AlignLeft
            : g.align == lcd::Align::Right                  ? Qt::AlignRight
                                                            : Qt::AlignHCenter;
        l->setAlignment(h | Qt::AlignVCenter);
        if (i == 0) {
            // The mode caption is a black box with white text, even when empty.
            l->setAutoFillBackground(true);
            QPalette p = l->palette();
            p.setColor(QPalette::Window, Qt::black);
            p.setColor(QPalette::WindowText, Qt::white);
            l->setPalette(p);
        }
        fields_[i] = l;
    }
}

void LcdWidget::render(const LcdMirror &lcd)
{
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (fields_[i]->text() != lcd.lblLCD[i].Caption) {
            fields_[i]->setText(lcd.lblLCD[i].Caption);
            fitText(i);
        }
        fields_[i]->setVisible(lcd.lblLCD[i].Visible);
    }
    if (circles_ != lcd.Shape1) {
        circles_ = lcd.Shape1;
        update();
    }
}

void LcdWidget::fitText(std::size_t i)
{
    // The font that stands in for the meter's own may run wider than the
    // field; grow the field away from its anchored side instead of cutting
    // letters off ("ATC", the calibration letters).
    const auto &g = lcd::kFields[i];
    QRect r = twipRect(g.left, g.top, g.width, g.height);
    const int need = fields_[i]->fontMetrics().horizontalAdvance(fields_[i]->text()) + 2;
    if (need > r.width()) {
        const int extra = need - r.width();
        if (g.align == lcd::Align::Right)
            r.setLeft(r.left() - extra);
        else if (g.align == lcd::Align::Centre)
            r.adjust(-extra / 2, 0, extra - extra / 2, 0);
        else
            r.setRight(r.right() + extra);
    }
    fields_[i]->setGeometry(r);
}

void LcdWidget::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    // Without antialiasing a one-pixel pen at integer coordinates covers
    // exactly one row (or column) of pixels: the rules and circles stay
    // crisp instead of smearing into two grey rows.
    p.setPen(QPen(Qt::black, 1));
    for (int y : lcd::kRuleY)
        p.drawLine(0, px(y), px(lcd::kRuleRight), px(y));
    for (std::size_t i = 0; i < circles_.size(); ++i) {
        if (!circles_[i])
            continue;
        const auto &c = lcd::kCircles[i];
        // A circle as large as fits the shape's box, centred in it.
        const QRect box = twipRect(c.left, c.top, c.width, c.height);
        const int d = qMin(box.width(), box.height()) - 1;
        p.drawEllipse(QRect(box.center().x() - d / 2, box.center().y() - d / 2, d, d));
    }
}
