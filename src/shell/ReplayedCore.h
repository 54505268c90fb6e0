#pragma once
#include "shell/MainCore.h"
#include "shell/QtSerialLink.h"
#include "shell/UiPrompts.h"

// A core that a stored recording is replayed into (the report's chart, the
// read-only view of a recording): no port is ever opened on its link and
// it asks nothing of anyone.
struct ReplayedCore
{
    struct Quiet : UiPrompts
    {
        void MsgBox(const QString &, Icon, const QString &) override {}
    };
    QtSerialLink link;
    Quiet quiet;
    MainCore core{&link, &quiet};
};
