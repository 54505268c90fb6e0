#include "report/PageFlowPainter.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>
#include <memory>

namespace {

constexpr double kFooterBandMm = 11;   // below the text: two lines of footer
constexpr double kCellPadMm = 0.8;
const QColor kHeaderFill(232, 232, 232);
const QColor kRule(190, 190, 190);

QFont font(const QStringList &families, QFont::StyleHint hint, double points)
{
    QFont f;
    f.setFamilies(families);
    f.setStyleHint(hint);
    f.setPointSizeF(points);
    return f;
}

double layoutHeight(const QTextLayout &layout)
{
    if (layout.lineCount() == 0)
        return 0;
    const QTextLine last = layout.lineAt(layout.lineCount() - 1);
    return last.y() + last.height();
}

} // namespace

PageFlow::PageFlow(QPagedPaintDevice &device, QPainter *painter, const QString &footer, const QString &mark,
                   int totalPages)
    : device_(device), painter_(painter), footerText_(footer), mark_(mark), total_(totalPages),
      body_(font({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")}, QFont::SansSerif, 9)),
      mono_(font({QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")}, QFont::Monospace, 8.5))
{
    width_ = device_.width();
    bottom_ = device_.height() - mm(kFooterBandMm);
    if (painter_)
        painter_->setPen(Qt::black);
}

double PageFlow::mm(double millimetres) const
{
    return millimetres * device_.logicalDpiY() / 25.4;
}

QFont PageFlow::boldFont() const
{
    QFont f = body_;
    f.setBold(true);
    return f;
}

double PageFlow::rowHeight(const QFont &font) const
{
    return QFontMetricsF(font, &device_).height() + 2 * mm(kCellPadMm);
}

void PageFlow::layoutText(QTextLayout &layout, double width, Qt::Alignment align, int maxLines) const
{
    // Lines break between words, or anywhere in a word longer than the
    // column (a device path, a hash), so no text runs past its edge.
    QTextOption option(align);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    for (;;) {
        layout.beginLayout();
        double y = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, y));
            y += line.height();
        }
        layout.endLayout();
        if (maxLines <= 0 || layout.lineCount() <= maxLines)
            return;
        // Taller than a page: keep what fits and mark the cut.
        const QTextLine last = layout.lineAt(maxLines - 1);
        const int keep = std::max(0, last.textStart() + last.textLength() - 2);
        layout.setText(layout.text().left(keep) + QChar(0x2026));
    }
}

double PageFlow::advance(const QString &text, const QFont &font) const
{
    return QFontMetricsF(font, &device_).horizontalAdvance(text);
}

double PageFlow::paragraphHeight(const QString &text, const QFont &font) const
{
    QTextLayout layout(QString(text).replace(u'\n', QChar::LineSeparator), font, &device_);
    layoutText(layout, width_, Qt::AlignLeft, 0);
    return layoutHeight(layout) + mm(1);
}

void PageFlow::newPage()
{
    footer();
    if (painter_)
        device_.newPage();
    ++page_;
    y_ = 0;
}

void PageFlow::space(double millimetres)
{
    if (y_ > 0)
        y_ = std::min(bottom_, y_ + mm(millimetres));
}

void PageFlow::title(const QString &text)
{
    QFont f = boldFont();
    f.setPointSizeF(16);
    paragraph(text, f);
    space(2);
}

void PageFlow::heading(const QString &text, bool major, double keep)
{
    QFont f = boldFont();
    f.setPointSizeF(major ? 12 : 10);
    space(major ? 5 : 2.5);
    if (y_ > 0 && remaining() < paragraphHeight(text, f) + (keep < 0 ? 4 * rowHeight(body_) : keep))
        newPage();
    paragraph(text, f);
}

void PageFlow::paragraph(const QString &text, const QFont &font, const QList<QTextLayout::FormatRange> &formats)
{
    QTextLayout layout(QString(text).replace(u'\n', QChar::LineSeparator), font, &device_);
    layout.setFormats(formats);
    layoutText(layout, width_, Qt::AlignLeft, 0);
    // Line by line, so a long paragraph runs on over the page.
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        if (y_ + line.height() > bottom_ && y_ > 0)
            newPage();
        if (painter_)
            line.draw(painter_, QPointF(0, y_ - line.y()));
        y_ += line.height();
    }
    y_ += mm(1);
}

double PageFlow::drawRow(const FlowTable &t, const QStringList &texts, const QFont &font, bool header)
{
    const double pad = mm(kCellPadMm);
    // A cell never grows beyond about three quarters of a page.
    const int maxLines = std::max(1, int(bottom_ * 0.75 / QFontMetricsF(font, &device_).height()));
    std::vector<std::unique_ptr<QTextLayout>> cells;
    double height = 0;
    for (int c = 0; c < t.widths.size(); ++c) {
        auto layout = std::make_unique<QTextLayout>(
            c < texts.size() ? QString(texts[c]).replace(u'\n', QChar::LineSeparator) : QString(), font, &device_);
        const Qt::Alignment align = c < t.align.size() ? t.align[c] : Qt::AlignLeft;
        layoutText(*layout, std::max(1.0, t.widths[c] * width_ - 2 * pad), align, maxLines);
        height = std::max(height, layoutHeight(*layout));
        cells.push_back(std::move(layout));
    }
    height += 2 * pad;

    // 1. A row that does not fit goes to the next page, under the header.
    if (y_ + height > bottom_ && y_ > 0) {
        newPage();
        if (!header && !t.header.isEmpty()) {
            QFont bold = font;
            bold.setBold(true);
            drawRow(t, t.header, bold, true);
        }
    }
    // 2. The cells, and a rule beneath them.
    if (painter_) {
        if (header)
            painter_->fillRect(QRectF(0, y_, width_, height), kHeaderFill);
        double x = 0;
        for (int c = 0; c < t.widths.size(); ++c) {
            cells[std::size_t(c)]->draw(painter_, QPointF(x + pad, y_ + pad));
            x += t.widths[c] * width_;
        }
        painter_->save();
        painter_->setPen(QPen(kRule, 0));
        painter_->drawLine(QPointF(0, y_ + height), QPointF(width_, y_ + height));
        painter_->restore();
    }
    y_ += height;
    return height;
}

void PageFlow::table(const FlowTable &t)
{
    const QFont font = t.font == QFont() ? body_ : t.font;
    QFont bold = font;
    bold.setBold(true);
    // The header stays with at least the first row.
    if (y_ > 0 && remaining() < 2 * rowHeight(font) + (t.header.isEmpty() ? 0 : rowHeight(bold)))
        newPage();
    if (!t.header.isEmpty())
        drawRow(t, t.header, bold, true);
    for (int r = 0; r < t.rows; ++r)
        drawRow(t, t.cells(r), font, false);
    y_ += mm(1);
}

double PageFlow::imageHeight(const QImage &image) const
{
    if (image.isNull() || image.width() <= 0)
        return 0;
    return std::min(bottom_ * 0.9, width_ * image.height() / image.width());
}

void PageFlow::image(const QImage &image)
{
    // As wide as the text, or less where it would be taller than most of a page.
    const double h = imageHeight(image);
    if (h <= 0)
        return;
    const double w = h * image.width() / image.height();
    if (y_ + h > bottom_)
        newPage();
    if (painter_)
        painter_->drawImage(QRectF((width_ - w) / 2, y_, w, h), image);
    y_ += h + mm(1);
}

void PageFlow::signatureLine(const QString &caption, const QString &signer, const QString &signedAt)
{
    const double height = mm(16);
    if (y_ + height > bottom_)
        newPage();
    const double baseline = y_ + mm(12);
    if (painter_) {
        const QString date = QStringLiteral("Date");
        const QFontMetricsF fm(body_, &device_);
        painter_->setFont(body_);
        painter_->drawText(QPointF(0, baseline), caption);
        const double lineFrom = mm(30), lineTo = width_ * 0.62;
        const double dateAt = lineTo + mm(6), dateLineFrom = dateAt + fm.horizontalAdvance(date) + mm(3);
        painter_->drawText(QPointF(dateAt, baseline), date);
        painter_->save();
        painter_->setPen(QPen(Qt::black, 0));
        painter_->drawLine(QPointF(lineFrom, baseline + mm(0.8)), QPointF(lineTo, baseline + mm(0.8)));
        painter_->drawLine(QPointF(dateLineFrom, baseline + mm(0.8)), QPointF(width_, baseline + mm(0.8)));
        painter_->restore();
        // Written on the lines, shortened where a line is too short.
        if (!signer.isEmpty())
            painter_->drawText(QPointF(lineFrom + mm(1), baseline - mm(0.4)),
                               fm.elidedText(signer, Qt::ElideRight, lineTo - lineFrom - mm(2)));
        if (!signedAt.isEmpty())
            painter_->drawText(QPointF(dateLineFrom + mm(1), baseline - mm(0.4)),
                               fm.elidedText(signedAt, Qt::ElideRight, width_ - dateLineFrom - mm(1)));
    }
    y_ += height;
}

void PageFlow::footer()
{
    if (!painter_)
        return;
    QFont f = body_;
    f.setPointSizeF(7.5);
    const QFontMetricsF fm(f, &device_);
    const QString pageText = QStringLiteral("page %1 of %2").arg(page_).arg(total_);
    const double lower = device_.height() - mm(1), upper = lower - fm.lineSpacing();
    painter_->save();
    painter_->setPen(QPen(kRule, 0));
    painter_->drawLine(QPointF(0, bottom_ + mm(2)), QPointF(width_, bottom_ + mm(2)));
    painter_->setPen(Qt::black);
    painter_->setFont(f);
    // The mark is drawn whole, whatever its length: a shortened fingerprint
    // could not be compared with the recording's.
    painter_->drawText(QPointF(0, upper), fm.elidedText(footerText_, Qt::ElideMiddle, width_));
    painter_->drawText(QPointF(0, lower), mark_);
    painter_->drawText(QPointF(width_ - fm.horizontalAdvance(pageText), lower), pageText);
    painter_->restore();
}

void PageFlow::finish()
{
    footer();
}
