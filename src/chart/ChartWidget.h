#pragma once
#include "chart/ChartPainter.h"

#include <QWidget>

struct ChartDecorations;
class ChartPicture;

// The trend chart (Picture4): white, with the axes and labels that are
// currently shown and whatever has been drawn or printed into it. Its
// context menu saves it as a picture, or asks for a report.
class ChartWidget : public QWidget
{
    Q_OBJECT
public:
    ChartWidget(const ChartDecorations &decorations, const ChartPicture &picture, QWidget *parent = nullptr);

    // Writes the chart to `path` (".svg" or PNG at twice this size); empty
    // on success, else the reason.
    QString saveTo(const QString &path) const;

signals:
    void clicked();
    void reportRequested();   // "Save report as…" from the context menu
    void limitsRequested();   // "Report limits…"

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *) override;
    void contextMenuEvent(QContextMenuEvent *) override;

private:
    void saveAs();

    const ChartDecorations &decor_;
    const ChartPicture &picture_;
    TraceImage traces_;
};
