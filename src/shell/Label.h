#pragma once
#include <QString>

// What a label control shows: its caption and whether it is visible.
struct Label
{
    QString Caption;
    bool Visible = true;
};
