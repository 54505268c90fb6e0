#pragma once
#include <QFont>

// The window layouts name their faces and sizes in points.
inline QFont arial(double points)
{
    QFont f(QStringLiteral("Arial"));
    f.setPointSizeF(points);
    return f;
}
