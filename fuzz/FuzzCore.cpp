// libFuzzer target: the whole receiving side of the program under arbitrary
// input, with the user's clicks mixed in.
//
// An input is read as what arrives on the serial line, interleaved with
// actions. Bytes 0x10 and above are line bytes: they queue at the fake port
// and are read by the next receive tick, so the input chooses where the line
// is cut into reads. Bytes below 0x10 are action codes, looked up in
// kActions by their value (0x00 escapes the next byte, so every byte value
// can still reach the line); a code without a row does nothing yet, so a
// new row never changes what an old input means. The input ends with one
// more receive tick, so a file holding nothing but frames is a valid input.
//
// After every step the invariants that must hold whatever arrived are
// checked; a violation aborts, which libFuzzer reports as a finding.

#include "support/FakeMeter.h"
#include "support/OwnHome.h"

#include "chart/ChartScene.h"
#include "text/NumericLocale.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

struct Input
{
    const std::uint8_t *at;
    const std::uint8_t *end;
    std::optional<std::uint8_t> next()
    {
        if (at == end)
            return std::nullopt;
        return *at++;
    }
};

// A core on a fake port after start-up and a successful port selection, as
// a user has it before the first frame.
struct Session : Bench
{
    Session()
    {
        // Reselecting the port must not look at the machine's real devices.
        core.listDevices = [] { return QStringList{QStringLiteral("/dev/fake0")}; };
    }
    void line(std::uint8_t byte) { link.incoming.append(char(byte)); }
    // Timers fire only while running, as in the window.
    void tick(QTimer &timer, void (MainCore::*handler)())
    {
        if (timer.isActive())
            (core.*handler)();
    }
};

[[noreturn]] void fail(const char *what, long long a = 0, long long b = 0)
{
    std::fprintf(stderr, "invariant broken: %s (%lld, %lld)\n", what, a, b);
    std::abort();
}

void checkFinite(const double *xy, std::size_t count, const char *what)
{
    for (std::size_t i = 0; i < count; ++i)
        if (!std::isfinite(xy[i]))
            fail(what, (long long)i);
}

// What the window does on a repaint: the chart walked at the window's
// resolution and the table's visible rows read through its model.
void repaint(Session &s)
{
    ChartScene scene;
    scene.polyline = [](const double *xy, std::size_t n, unsigned) { checkFinite(xy, 2 * n, "polyline point"); };
    scene.print = [](double x, double y, double, unsigned, const QString &) {
        const double xy[2] = {x, y};
        checkFinite(xy, 2, "printed text position");
    };
    scene.line = [](const chartlayout::Segment &, unsigned, int) {};
    scene.label = [](const chartlayout::LabelBox &, unsigned, const QString &) {};
    walkChart(s.core.chart, s.core.Picture4, 673.0 / chartlayout::kWidth, scene);

    FlexGrid &grid = *s.core.MSFlexGrid1;
    // At most the newest row stands out.
    if (grid.highlightedRows().size() > 1)
        fail("more than one highlighted row", grid.highlightedRows().size());
    for (int r = grid.TopRow(); r < grid.TopRow() + 10 && r < grid.Rows(); ++r)
        for (int c = 0; c < FlexGrid::kCols; ++c) {
            const QModelIndex i = grid.index(r - 1, c);
            (void)grid.data(i, Qt::DisplayRole);
            (void)grid.data(i, FlexGrid::ShadeRole);
        }
}

using ActionFn = void (*)(Session &, Input &);
struct Action
{
    const char *name;
    ActionFn run;
};

// One row per thing that can happen to the program; the code of an action
// is its index. Append new rows at the end (up to 0x0F).
constexpr Action kActions[] = {
    {"line byte", [](Session &s, Input &in) { if (auto b = in.next()) s.line(*b); }},
    {"receive tick", [](Session &s, Input &) { s.tick(s.core.Timer1, &MainCore::Timer1_Timer); }},
    {"poll tick", [](Session &s, Input &) { s.tick(s.core.Timer2, &MainCore::Timer2_Timer); }},
    {"Clear", [](Session &s, Input &) { s.core.cmdClear_Click(); }},
    // The index as a signed byte: the six buttons and indices beyond them.
    {"range button", [](Session &s, Input &in) { s.core.Option1_Click(std::int8_t(in.next().value_or(0))); }},
    {"chart click", [](Session &s, Input &) { s.core.Picture4_Click(); }},
    {"Std-Add", [](Session &s, Input &) { s.core.cmdStdAdd_Click(); }},
    {"port lost", [](Session &s, Input &) { if (s.link.isOpen()) s.link.unplug(); }},
    {"reconnect tick", [](Session &s, Input &) { s.tick(s.core.ReconnectTimer, &MainCore::ReconnectTimer_Timer); }},
    {"Select CommID", [](Session &s, Input &) {
         s.core.Combo1Text = QStringLiteral("/dev/fake0");
         s.core.cmdComm_Click();
     }},
    // Message boxes and other queued work the event loop would run.
    {"event loop", [](Session &, Input &) { QCoreApplication::sendPostedEvents(); }},
    {"repaint", [](Session &s, Input &) { repaint(s); }},
    // The next byte answers the save dialog: cancel, or a throw-away file
    // in each of the three formats.
    {"Export", [](Session &s, Input &in) {
         static const QTemporaryDir scratch;
         static const char *const kNames[] = {"", "t.xls", "t.xlsx", "t.csv"};
         const char *name = kNames[in.next().value_or(0) % 4];
         s.prompts.saveAs = *name ? scratch.filePath(QString::fromLatin1(name)) : QString();
         s.core.cmdExport_Click();
     }},
};
static_assert(std::size(kActions) <= 0x10);
constexpr std::uint8_t kFirstLineByte = 0x10;

// What must hold after every step, whatever the line delivered.
struct Watch
{
    ChartPicture::Mark mark;

    void check(Session &s)
    {
        const MainCore &core = s.core;
        const FlexGrid &grid = *core.MSFlexGrid1;
        const int row = core.m.GridRow;
        if (row < 1)
            fail("GridRow below 1", row);
        if (grid.Rows() <= row)
            fail("table has no row GridRow", grid.Rows(), row);
        if (grid.TopRow() < 1 || grid.TopRow() >= grid.Rows())
            fail("first visible row outside the table", grid.TopRow(), grid.Rows());
        if (core.m.RxBuffer.size() > MainCore::kMaxFrame + 1)
            fail("receive buffer over its bound", core.m.RxBuffer.size());
        // The newest row is a whole row: its serial number is its own.
        if (row > 1 && grid.TextMatrix(row - 1, 0) != QString::number(row - 1))
            fail("newest row without its number", row - 1);
        // Only the end frame prints, three lines of help.
        if (core.Picture4.texts.size() > 3)
            fail("printed texts pile up", (long long)core.Picture4.texts.size());

        // The segments drawn since the last check are finite.
        const ChartPicture::Mark now = core.Picture4.mark();
        const qint64 from = now.clears == mark.clears ? mark.segments : 0;
        core.Picture4.forEachSegment(from, [](const SegmentPair &p) {
            const double xy[6] = {p.x1, p.x2, p.valueY1, p.valueY2, p.tempY1, p.tempY2};
            checkFinite(xy, 6, "segment end");
        });
        mark = now;
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // QTimer and posted events want an application object; nothing here
    // runs its event loop, so timers fire only when an input says so.
    useOwnHome();
    static QCoreApplication app(*argc, *argv);
    useCNumbers();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Session s;
    Watch watch;
    Input in{data, data + size};
    while (auto byte = in.next()) {
        if (*byte >= kFirstLineByte) {
            s.line(*byte);
            continue;
        }
        if (*byte < std::size(kActions))
            kActions[*byte].run(s, in);
        watch.check(s);
    }
    s.tick(s.core.Timer1, &MainCore::Timer1_Timer);
    watch.check(s);
    return 0;
}
