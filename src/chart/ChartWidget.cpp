#include "chart/ChartWidget.h"

#include "chart/ChartPainter.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QStandardPaths>

ChartWidget::ChartWidget(const ChartDecorations &decorations, const ChartPicture &picture, QWidget *parent)
    : QWidget(parent), decor_(decorations), picture_(picture)
{
    setObjectName(QStringLiteral("Picture4"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ChartWidget::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawImage(QPoint(0, 0), traces_.update(picture_, size(), devicePixelRatioF()));
    paintOverlay(p, size(), 1, decor_, picture_);
}

void ChartWidget::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton)
        emit clicked();
}

void ChartWidget::contextMenuEvent(QContextMenuEvent *e)
{
    QMenu menu(this);
    menu.addAction(QStringLiteral("Save chart as…"), this, &ChartWidget::saveAs);
    menu.addAction(QStringLiteral("Save report as…"), this, &ChartWidget::reportRequested);
    menu.addAction(QStringLiteral("Report limits…"), this, &ChartWidget::limitsRequested);
    menu.exec(e->globalPos());
}

QString ChartWidget::saveTo(const QString &path) const
{
    return saveChart(path, size(), decor_, picture_);
}

void ChartWidget::saveAs()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!QDir(folder).exists())
        folder = QDir::homePath();
    QString selected;
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save chart as…"),
                                                QDir(folder).filePath(QStringLiteral("chart.png")),
                                                QStringLiteral("PNG image (*.png);;SVG drawing (*.svg)"), &selected);
    if (path.isEmpty())
        return;
    // A name without a suffix takes the one of the chosen type.
    if (QFileInfo(path).suffix().isEmpty())
        path += selected.contains(QLatin1String("svg")) ? QStringLiteral(".svg") : QStringLiteral(".png");
    const QString error = saveTo(path);
    if (!error.isEmpty())
        QMessageBox::warning(this, QStringLiteral("Save chart as…"),
                             QStringLiteral("The chart was not saved to %1: %2").arg(path, error));
}
