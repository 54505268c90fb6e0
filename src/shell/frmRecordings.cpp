#include "shell/frmRecordings.h"

#include "record/RecordingsModel.h"
#include "record/StoreListing.h"
#include "shell/RecordingActions.h"
#include "shell/UiPrompts.h"
#include "shell/frmRecordingView.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

frmRecordings::frmRecordings(const QString &folder, UiPrompts &prompts, QWidget *parent)
    : QDialog(parent), store_(std::make_shared<RecordStore>()), prompts_(prompts)
{
    setObjectName(QStringLiteral("Recordings"));
    setWindowTitle(QStringLiteral("Recordings"));
    QList<RecordingInfo> recordings;
    error_ = storelisting::openForReading(*store_, folder);
    if (error_.isEmpty())
        recordings = storelisting::recordings(*store_, error_);
    build(recordings);
    // What another part of the record keeps of each (its sample, who signed).
    for (const RecordingInfo &r : recordings) {
        const auto [samples, signatures] = recordingactions::annotationsOf(*store_, r);
        if (!samples.isEmpty() || !signatures.isEmpty())
            model_->setAnnotations(r.id, samples, signatures);
    }
    label_->setText(error_.isEmpty() ? QStringLiteral("The recordings in %1:").arg(store_->file())
                                     : error_[0].toUpper() + error_.mid(1) + u'.');
    addFilters();
    addActions();
    resize(900, 480);
}

frmRecordings::frmRecordings(std::shared_ptr<RecordStore> store, const QList<RecordingInfo> &recordings,
                             UiPrompts &prompts, QWidget *parent)
    : QDialog(parent), store_(std::move(store)), prompts_(prompts)
{
    build(recordings);
}

frmRecordings::~frmRecordings() = default;

void frmRecordings::build(const QList<RecordingInfo> &recordings)
{
    setModal(false);
    auto *layout = new QVBoxLayout(this);
    label_ = new QLabel(this);
    layout->addWidget(label_);
    model_ = new RecordingsModel(this);
    model_->setRecordings(recordings);
    filter_ = new RecordingsFilter(this);
    filter_->setSourceModel(model_);
    view_ = new QTableView(this);
    view_->setObjectName(QStringLiteral("recordings"));
    view_->setModel(filter_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->verticalHeader()->hide();
    view_->horizontalHeader()->setStretchLastSection(true);
    view_->resizeColumnsToContents();
    view_->selectRow(0);
    layout->addWidget(view_, 1);
    buttons_ = new QDialogButtonBox(this);
    layout->addWidget(buttons_);
}

void frmRecordings::addFilters()
{
    // One line of filters above the list, each applied as it is typed.
    auto *row = new QHBoxLayout;
    auto field = [&](const QString &caption, const QString &hint, auto apply) {
        auto *edit = new QLineEdit(this);
        edit->setPlaceholderText(hint);
        edit->setClearButtonEnabled(true);
        row->addWidget(new QLabel(caption, this));
        row->addWidget(edit, 1);
        connect(edit, &QLineEdit::textChanged, this, apply);
        return edit;
    };
    field(QStringLiteral("Find"), QStringLiteral("any text"), [this](const QString &t) { filter_->setText(t); });
    // The days: both edits together, each a day or nothing.
    QLineEdit *from = field(QStringLiteral("From"), QStringLiteral("YYYY-MM-DD"), [](const QString &) {});
    QLineEdit *to = field(QStringLiteral("to"), QStringLiteral("YYYY-MM-DD"), [](const QString &) {});
    for (QLineEdit *edit : {from, to})
        connect(edit, &QLineEdit::textChanged, this, [this, from, to] {
            filter_->setDays(QDate::fromString(from->text().trimmed(), Qt::ISODate),
                             QDate::fromString(to->text().trimmed(), Qt::ISODate));
        });
    field(QStringLiteral("Model"), QString(), [this](const QString &t) { filter_->setModelText(t); });
    field(QStringLiteral("Sample"), QString(), [this](const QString &t) { filter_->setSample(t); });
    static_cast<QVBoxLayout *>(layout())->insertLayout(1, row);
    view_->setSortingEnabled(true);
    view_->sortByColumn(RecordingsModel::Id, Qt::DescendingOrder);
    view_->selectRow(0);
}

void frmRecordings::addActions()
{
    using namespace recordingactions;
    QPushButton *open = buttons_->addButton(QStringLiteral("Open"), QDialogButtonBox::AcceptRole);
    QPushButton *verify = buttons_->addButton(QStringLiteral("Verify"), QDialogButtonBox::ActionRole);
    QPushButton *exportButton = buttons_->addButton(QStringLiteral("Export…"), QDialogButtonBox::ActionRole);
    QPushButton *report = buttons_->addButton(QStringLiteral("Report…"), QDialogButtonBox::ActionRole);
    QPushButton *sign = buttons_->addButton(QStringLiteral("Sign…"), QDialogButtonBox::ActionRole);
    QPushButton *note = buttons_->addButton(QStringLiteral("Note…"), QDialogButtonBox::ActionRole);
    QPushButton *close = buttons_->addButton(QDialogButtonBox::Close);
    open->setToolTip(QStringLiteral("Show its table and chart, read-only, in a window of its own"));
    verify->setToolTip(QStringLiteral("Check its hash chain entry by entry"));
    sign->setToolTip(QStringLiteral("Sign it with your password: performed, reviewed or approved"));
    note->setToolTip(QStringLiteral("Add an operator's note to it"));
    connect(open, &QPushButton::clicked, this, &frmRecordings::open);
    connect(view_, &QTableView::doubleClicked, this, &frmRecordings::open);
    connect(verify, &QPushButton::clicked, this, &frmRecordings::verify);
    connect(exportButton, &QPushButton::clicked, this, [this] {
        if (const RecordingInfo *r = selected())
            succeeded(exportRecording(prompts_, *store_, *r, anchoring_));
    });
    connect(report, &QPushButton::clicked, this, [this] {
        if (const RecordingInfo *r = selected())
            succeeded(reportRecording(this, *store_, *r, anchoring_));
    });
    connect(sign, &QPushButton::clicked, this, [this] { succeeded(signRecording(this, *store_, selectedId())); });
    connect(note, &QPushButton::clicked, this, [this] { succeeded(noteRecording(this, *store_, selectedId())); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

qint64 frmRecordings::selectedId() const
{
    const QModelIndex i = view_->currentIndex();
    return i.isValid() ? i.data(RecordingsModel::IdRole).toLongLong() : 0;
}

const RecordingInfo *frmRecordings::selected() const
{
    return model_->recording(selectedId());
}

void frmRecordings::forget(qint64 id)
{
    model_->removeRecording(id);
}

int frmRecordings::shown() const
{
    return filter_->rowCount();
}

bool frmRecordings::succeeded(const QString &error)
{
    if (!error.isEmpty())
        prompts_.MsgBox(error, UiPrompts::Icon::Critical);
    return error.isEmpty();
}

void frmRecordings::open()
{
    const RecordingInfo *r = selected();
    if (!r)
        return;
    auto *view = new frmRecordingView(store_, *r, prompts_, anchoring_, parentWidget());
    if (succeeded(view->load()))
        view->show();
    else
        view->deleteLater();
}

void frmRecordings::verify()
{
    const RecordingInfo *r = selected();
    if (!r)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const hashchain::Verdict v = store_->verify(*r);
    QApplication::restoreOverrideCursor();
    using K = hashchain::Verdict::Kind;
    model_->setVerdict(r->id, v.text(), v.kind == K::Intact || v.kind == K::EndsEarly);
    view_->resizeColumnToContents(RecordingsModel::Verified);
}
