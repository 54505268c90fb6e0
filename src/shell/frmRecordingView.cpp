#include "shell/frmRecordingView.h"

#include "chart/ChartWidget.h"
#include "record/Replay.h"
#include "record/StoredRows.h"
#include "shell/RecordingActions.h"
#include "shell/ReplayedCore.h"
#include "shell/UiPrompts.h"
#include "shell/frmLimits.h"
#include "table/GridView.h"
#include "text/VisibleText.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr QSize kChartSize(673, 481);   // the chart's size in the main window

} // namespace

frmRecordingView::frmRecordingView(std::shared_ptr<RecordStore> store, const RecordingInfo &rec, UiPrompts &prompts,
                                   recordingactions::Anchoring anchoring, QWidget *parent)
    : QWidget(parent, Qt::Window), store_(std::move(store)), rec_(rec), prompts_(prompts), anchoring_(std::move(anchoring)),
      replayed_(std::make_unique<ReplayedCore>())
{
    setObjectName(QStringLiteral("RecordingView"));
    setAttribute(Qt::WA_DeleteOnClose);
    const QString model = rec.model.trimmed().isEmpty() ? QStringLiteral("meter") : rec.model.trimmed();
    setWindowTitle(visibletext::visible(QStringLiteral("Recording %1 (read-only) — %2").arg(rec.id).arg(model)));
    auto *layout = new QVBoxLayout(this);
    auto *about = new QLabel(visibletext::visible(QStringLiteral("Started %1, %2 on %3, %4 rows; %5")
                                                      .arg(rec.started, model,
                                                           rec.device.isEmpty() ? QStringLiteral("no port") : rec.device)
                                                      .arg(rec.rows)
                                                      .arg(rec.endedHow.isEmpty() ? QStringLiteral("unfinished")
                                                                                  : QStringLiteral("ended: ") + rec.endedHow)),
                             this);
    about->setWordWrap(true);
    layout->addWidget(about);

    // The chart and the table as the main window shows them, at its size.
    MainCore &core = replayed_->core;
    auto *chart = new ChartWidget(core.chart, core.Picture4, this);
    chart->setFixedSize(kChartSize);
    layout->addWidget(chart, 0, Qt::AlignHCenter);
    auto *grid = new GridView(core.MSFlexGrid1, this);
    grid->setMinimumHeight(200);
    layout->addWidget(grid, 1);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *exportButton = buttons->addButton(QStringLiteral("Export…"), QDialogButtonBox::ActionRole);
    QPushButton *report = buttons->addButton(QStringLiteral("Report…"), QDialogButtonBox::ActionRole);
    QPushButton *sign = buttons->addButton(QStringLiteral("Sign…"), QDialogButtonBox::ActionRole);
    QPushButton *note = buttons->addButton(QStringLiteral("Note…"), QDialogButtonBox::ActionRole);
    QPushButton *close = buttons->addButton(QDialogButtonBox::Close);
    using namespace recordingactions;
    sign->setEnabled(signAvailable());
    note->setEnabled(noteAvailable());
    if (!signAvailable())
        sign->setToolTip(QString::fromLatin1(kNotAvailable));
    if (!noteAvailable())
        note->setToolTip(QString::fromLatin1(kNotAvailable));
    layout->addWidget(buttons);
    connect(exportButton, &QPushButton::clicked, this, [this] { act(exportRecording(prompts_, *store_, rec_, anchoring_)); });
    connect(report, &QPushButton::clicked, this, [this] { act(reportRecording(this, *store_, rec_, anchoring_)); });
    connect(grid, &GridView::reportRequested, this, [this] { act(reportRecording(this, *store_, rec_, anchoring_)); });
    connect(chart, &ChartWidget::reportRequested, this, [this] { act(reportRecording(this, *store_, rec_, anchoring_)); });
    connect(grid, &GridView::limitsRequested, this, [this] { frmLimits(this).exec(); });
    connect(chart, &ChartWidget::limitsRequested, this, [this] { frmLimits(this).exec(); });
    connect(sign, &QPushButton::clicked, this, [this] { act(signRecording(this, rec_.id)); });
    connect(note, &QPushButton::clicked, this, [this] { act(noteRecording(this, rec_.id)); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

frmRecordingView::~frmRecordingView() = default;

QString frmRecordingView::load()
{
    // As a restore puts it back, but into a core of this window's own: the
    // chart's gaps, scales and range come out as the recording's.
    StoredRows rows(*store_, rec_);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    replayRecording(replayed_->core, rows, rec_);
    QApplication::restoreOverrideCursor();
    if (QString why = rows.error(); !why.isEmpty())
        return why;
    if (QString why = rows.missing(); !why.isEmpty())
        return why;
    return {};
}

void frmRecordingView::act(const QString &error)
{
    if (!error.isEmpty())
        prompts_.MsgBox(error, UiPrompts::Icon::Critical);
}
