#include "chart/ChartWidget.h"

#include "chart/ChartData.h"
#include "chart/ChartLayout.h"
#include "chart/ChartPicture.h"

#include <QPainter>

namespace {

QColor rgb(unsigned v) { return QColor((v >> 16) & 0xff, (v >> 8) & 0xff, v & 0xff); }

template <std::size_t N>
void drawSegments(QPainter &p, const std::array<bool, N> &shown, const std::array<chartlayout::Segment, N> &segs,
                  const QColor &colour)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (!shown[i])
            continue;
        // The axis itself is drawn two pixels wide, its ticks one.
        p.setPen(QPen(colour, i == 0 ? 2 : 1));
        const auto &s = segs[i];
        p.drawLine(QPointF(s.x1, s.y1), QPointF(s.x2, s.y2));
    }
}

template <std::size_t N>
void drawLabels(QPainter &p, const std::array<Label, N> &labels, const std::array<chartlayout::LabelBox, N> &boxes,
                const QColor &colour)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (labels[i].Caption.isEmpty() || !labels[i].Visible)
            continue;
        const auto &b = boxes[i];
        QFont font(QStringLiteral("Arial"));
        font.setPointSizeF((b.points > 0 ? b.points : 8) * 15);   // the painter works in twips
        font.setBold(b.bold);
        p.setFont(font);
        p.setPen(colour);
        const Qt::Alignment a = b.align == chartlayout::Align::Left ? Qt::AlignLeft
            : b.align == chartlayout::Align::Right                  ? Qt::AlignRight
                                                                    : Qt::AlignHCenter;
        p.drawText(QRectF(b.left, b.top, b.width, b.height), int(a | Qt::AlignTop), labels[i].Caption);
    }
}

} // namespace

ChartWidget::ChartWidget(const ChartDecorations &decorations, const ChartPicture &picture, QWidget *parent)
    : QWidget(parent), decor_(decorations), picture_(picture)
{
    setObjectName(QStringLiteral("Picture4"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
}

void ChartWidget::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    // Everything in the chart is placed in twips; let the painter scale.
    p.scale(width() / double(chartlayout::kWidth), height() / double(chartlayout::kHeight));
    drawSegments(p, decor_.LineY, chartlayout::kLineY, rgb(chartlayout::kRed));
    drawSegments(p, decor_.LineX, chartlayout::kLineX, Qt::black);
    drawSegments(p, decor_.LineN, chartlayout::kLineN, rgb(chartlayout::kBlue));
    drawLabels(p, decor_.lblY, chartlayout::kLblY, rgb(chartlayout::kRed));
    drawLabels(p, decor_.lblX, chartlayout::kLblX, Qt::black);
    drawLabels(p, decor_.LblN, chartlayout::kLblN, rgb(chartlayout::kBlue));

    for (const auto &l : picture_.lines) {
        p.setPen(QPen(rgb(l.rgb), 15));
        p.drawLine(QPointF(l.x1, l.y1), QPointF(l.x2, l.y2));
    }
    for (const auto &t : picture_.texts) {
        QFont font;   // the platform's default sans-serif face
        font.setStyleHint(QFont::SansSerif);
        font.setPointSizeF(t.points * 15);
        p.setFont(font);
        p.setPen(rgb(t.rgb));
        const QFontMetricsF fm(font);
        p.drawText(QPointF(t.x, t.y + fm.ascent()), t.text);
    }
}

void ChartWidget::mousePressEvent(QMouseEvent *)
{
    emit clicked();
}
