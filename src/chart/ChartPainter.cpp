#include "chart/ChartPainter.h"

#include "chart/ChartLayout.h"
#include "chart/ChartPicture.h"
#include "chart/ChartScene.h"
#include "files/ReplaceFile.h"
#include "files/WriteAll.h"

#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

#include <cmath>

namespace {

QColor rgb(unsigned v) { return QColor((v >> 16) & 0xff, (v >> 8) & 0xff, v & 0xff); }

// The painter works in chart units (twips); at 96 dpi a point is 20 twips
// and a pixel 15, so a font of n points is set as 15 n "points" of the
// scaled painter.
QFont fontOf(const QString &family, double points, bool bold)
{
    // No family: the platform's default sans-serif face ("Sans Serif" is
    // the name every font configuration maps to one).
    QFont font(family.isEmpty() ? QStringLiteral("Sans Serif") : family);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points * 15);
    font.setBold(bold);
    return font;
}

// The painter's way of drawing each part of the scene, in chart units.
ChartScene painterScene(QPainter &p, double lineWidth)
{
    using namespace chartlayout;
    ChartScene scene;
    scene.polyline = [&p, lineWidth](const double *xy, std::size_t n, unsigned colour) {
        QPen pen(rgb(colour), lineWidth);
        pen.setCosmetic(true);
        p.setPen(pen);
        QPolygonF poly;
        poly.reserve(qsizetype(n));
        for (std::size_t i = 0; i < n; ++i)
            poly << QPointF(xy[2 * i], xy[2 * i + 1]);
        p.drawPolyline(poly);
    };
    scene.print = [&p](double x, double y, double points, unsigned colour, const QString &text) {
        const QFont font = fontOf(QString(), points, false);   // the platform's default sans-serif face
        const QFontMetricsF metrics(font);
        p.save();
        p.setFont(font);
        p.setPen(rgb(colour));
        p.translate(x, y + metrics.ascent());
        // The end frame's help lines are 24 pt from x 1000: in most faces the
        // first runs past the chart's right edge and would be cut mid-word.
        // Narrow such a line just enough to stand whole, keeping its height.
        const double room = kWidth - x, width = metrics.horizontalAdvance(text);
        if (room > 0 && width > room)
            p.scale(qMax(0.5, room / width), 1);
        p.drawText(QPointF(0, 0), text);
        p.restore();
    };
    scene.line = [&p, lineWidth](const Segment &s, unsigned colour, int widthPx) {
        QPen pen(rgb(colour), widthPx * lineWidth);
        pen.setCosmetic(true);
        p.setPen(pen);
        p.drawLine(QPointF(s.x1, s.y1), QPointF(s.x2, s.y2));
    };
    scene.label = [&p](const LabelBox &b, unsigned colour, const QString &text) {
        p.setFont(fontOf(QStringLiteral("Arial"), b.points > 0 ? b.points : 8, b.bold));
        p.setPen(rgb(colour));
        const Qt::Alignment a = b.align == Align::Left ? Qt::AlignLeft
            : b.align == Align::Right                  ? Qt::AlignRight
                                                       : Qt::AlignHCenter;
        p.drawText(QRectF(b.left, b.top, b.width, b.height), int(a | Qt::AlignTop), text);
    };
    return scene;
}

// Chart units onto a target of `size` pixels.
double toChartUnits(QPainter &p, const QSize &size)
{
    const double sx = size.width() / double(chartlayout::kWidth);
    p.scale(sx, size.height() / double(chartlayout::kHeight));
    return sx;
}

} // namespace

void paintChart(QPainter &p, const QSize &size, double lineWidth, const ChartDecorations &decor,
                const ChartPicture &picture)
{
    p.save();
    p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    const double sx = toChartUnits(p, size);
    // One column per device pixel.
    walkChart(decor, picture, sx, painterScene(p, lineWidth));
    p.restore();
}

void paintOverlay(QPainter &p, const QSize &size, double lineWidth, const ChartDecorations &decor,
                  const ChartPicture &picture)
{
    p.save();
    toChartUnits(p, size);
    walkOverlay(decor, picture, painterScene(p, lineWidth));
    p.restore();
}

const QImage &TraceImage::update(const ChartPicture &picture, const QSize &size, qreal dpr)
{
    const QSize pixels = (QSizeF(size) * dpr).toSize();
    QPainter p;
    if (image_.size() != pixels || clears_ != picture.clearCount() || drawn_ > picture.segmentCount()) {
        // A new picture (a clear, a rescale, a range change) or a new size:
        // every run again, decimated to the pixel columns.
        image_ = QImage(pixels, QImage::Format_RGB32);
        image_.setDevicePixelRatio(dpr);
        image_.fill(Qt::white);
        p.begin(&image_);
        const double sx = toChartUnits(p, size) * dpr;
        walkTraces(picture, sx, painterScene(p, 1));
        drawn_ = picture.segmentCount();
        clears_ = picture.clearCount();
        return image_;
    }
    if (drawn_ == picture.segmentCount())
        return image_;
    // Only what was drawn since: the image is the picture's backing store.
    p.begin(&image_);
    toChartUnits(p, size);
    const ChartScene scene = painterScene(p, 1);
    picture.forEachSegment(drawn_, [&](const SegmentPair &s) {
        // A segment into a row after a hole in the log is not drawn.
        if (!std::isfinite(s.x1))
            return;
        const double value[] = {s.x1, s.valueY1, s.x2, s.valueY2}, temp[] = {s.x1, s.tempY1, s.x2, s.tempY2};
        scene.polyline(value, 2, chartlayout::kRed);
        scene.polyline(temp, 2, chartlayout::kBlue);
    });
    drawn_ = picture.segmentCount();
    return image_;
}

QString saveChart(const QString &path, const QSize &windowSize, const ChartDecorations &decor,
                  const ChartPicture &picture)
{
    ReplaceFile file(path);
    if (const QString why = file.open(); !why.isEmpty())
        return why;
    if (QFileInfo(path).suffix().compare(QLatin1String("svg"), Qt::CaseInsensitive) == 0) {
        if (!writeAll(file.file(), chartSvg(decor, picture)))
            return file.file().errorString();
    } else {
        QImage image(windowSize * 2, QImage::Format_RGB32);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            p.setRenderHint(QPainter::TextAntialiasing);
            paintChart(p, image.size(), 2, decor, picture);
        }
        QImageWriter writer(&file.file(), "png");
        if (!writer.write(image))
            return file.file().error() != QFileDevice::NoError ? file.file().errorString() : writer.errorString();
    }
    return file.commit();
}
