#pragma once
#include <QString>
#include <QtGlobal>

#include <vector>

// What has been drawn into the chart picture (Picture4): lines and printed
// texts in chart units (twips from the top-left corner, y downward). Cls()
// erases the drawing; the decorations (ChartData.h) are separate controls and
// are not touched by it.
struct ChartPicture
{
    struct Line { double x1, y1, x2, y2; quint32 rgb; };
    struct Text { double x, y; double points; quint32 rgb; QString text; };

    std::vector<Line> lines;
    std::vector<Text> texts;
    double FontSize = 8;
    quint32 ForeColor = 0x000000;   // 0xRRGGBB
    double CurrentX = 0;
    double CurrentY = 0;

    void Cls()
    {
        lines.clear();
        texts.clear();
        CurrentX = CurrentY = 0;
    }
    void Print(const QString &text)
    {
        texts.push_back({CurrentX, CurrentY, FontSize, ForeColor, text});
    }
};
