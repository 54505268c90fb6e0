#include "files/ReplaceFile.h"
#include "report/ColumnStats.h"
#include "report/PageFlowPainter.h"
#include "report/PaperSize.h"
#include "report/ReportData.h"
#include "report/ReportSectionsPainter.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

QString writeReport(const QString &path, const ReportData &data, std::optional<QPageSize::PageSizeId> page)
{
    // 1. Only a new file or an ordinary one is replaced: never a device, a
    // pipe or a folder that happens to carry the name.
    const QFileInfo target(path);
    if (target.exists() && !target.isFile())
        return QStringLiteral("%1 is not an ordinary file, so the report was not written over it.").arg(path);

    // Fonts and pictures need the graphics layer, even off screen.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return QStringLiteral("The report could not be drawn: the program started without its graphics layer.");

    // 2. The statistics read every row once, before any page is laid out.
    const QList<ColumnStats> stats = data.stats ? *data.stats : columnStats(data.rows);

    // 3. Written beside the target and renamed into place when complete, so
    // a failure leaves whatever stood there before; a replaced file keeps
    // its permissions, and what became a device meanwhile is still refused.
    ReplaceFile file(path);
    const auto failed = [&](const QString &why) {
        file.cancel();
        return QStringLiteral("The report could not be written to %1: %2").arg(path, why);
    };
    if (const QString why = file.open(); !why.isEmpty())
        return failed(why);
    QPdfWriter writer(&file.file());
    const QPageSize::PageSizeId size =
        page.value_or(environmentUsesLetterPaper() ? QPageSize::Letter : QPageSize::A4);
    writer.setPageLayout(QPageLayout(QPageSize(size), QPageLayout::Portrait, QMarginsF(18, 15, 18, 10),
                                     QPageLayout::Millimeter));
    writer.setTitle(QStringLiteral("Recording report %1").arg(data.recordingId));
    // The entry of the chain the report is, and its fingerprint, where a
    // program reads them back (tq800-log --check): the creator is in the
    // PDF's document information, uncompressed.
    writer.setCreator(data.anchor.isEmpty() ? QStringLiteral("TQ800 %1").arg(data.programVersion)
                                            : QStringLiteral("TQ800 %1; %2").arg(data.programVersion, data.anchor));
    const QString footer = QStringLiteral("TQ800 recording report · %1 · %2").arg(data.recordingId, data.model);
    const QString mark = data.fingerprint.isEmpty() ? QStringLiteral("Fingerprint: none, the recording was not stored")
                                                    : QStringLiteral("Fingerprint %1").arg(data.fingerprint);

    // 4. Once to count the pages, once to draw them with "page x of y".
    PageFlow count(writer, nullptr, footer, mark, 0);
    paintReportSections(count, data, stats);
    QPainter painter;
    if (!painter.begin(&writer))
        return failed(file.file().errorString());
    PageFlow flow(writer, &painter, footer, mark, count.pages());
    paintReportSections(flow, data, stats);
    flow.finish();
    painter.end();

    if (file.file().error() != QFileDevice::NoError)
        return failed(file.file().errorString());
    // Rows the store could not give back were drawn empty: no report then.
    if (data.readError) {
        if (const QString why = data.readError(); !why.isEmpty())
            return failed(why);
    }
    if (const QString why = file.commit(); !why.isEmpty())
        return failed(why);
    return {};
}
