#include "shell/MainCore.h"
#include "shell/frmMain.h"
#include "table/RowJournal.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

// The crash journal of the window: every completed row to disk as it lands,
// and at start-up the offer of a recording that ended without Export or
// Exit.
void frmMain::enableJournal(const QString &folder)
{
    offerUnfinishedJournals(folder);
    journal_ = new RowJournal(*core_->MSFlexGrid1, folder, this);
    connect(core_, &MainCore::rowCompleted, journal_, [this](int row) {
        if (!journal_->appendRow(row) && !journalFailed_) {
            // Said once: the log goes on in the table even so.
            journalFailed_ = true;
            MsgBox(QStringLiteral("Rows are no longer kept in the journal: %1").arg(journal_->errorString()),
                   Icon::Critical);
        }
    });
    connect(core_, &MainCore::exitRequested, journal_, &RowJournal::closeRecording);
    connect(core_, &MainCore::exported, journal_, &RowJournal::closeRecording);
}

void frmMain::offerUnfinishedJournals(const QString &folder)
{
    const QStringList files = RowJournal::unfinished(folder);
    if (files.isEmpty())
        return;
    // Offered once: whatever the answer, the files stay where they are.
    RowJournal::forget(files);
    QString text = files.size() == 1
        ? QStringLiteral("A recording ended without Export or Exit. Its rows are kept in %1.").arg(files.last())
        : QStringLiteral("%1 recordings ended without Export or Exit. Their rows are kept in %2; the newest is %3.")
              .arg(files.size())
              .arg(QFileInfo(files.last()).absolutePath(), QFileInfo(files.last()).fileName());
    QMessageBox box(QMessageBox::Question, QApplication::applicationName(),
                    text + QStringLiteral("\n\nOpen it now?"), QMessageBox::Open | QMessageBox::Ignore, this);
    if (box.exec() == QMessageBox::Open)
        QDesktopServices::openUrl(QUrl::fromLocalFile(files.last()));
}
