#include "report/ReportAnnotationsPainter.h"

#include "report/PageFlowPainter.h"

void samplesAndNotesSection(PageFlow &f, const ReportData &d)
{
    if (d.samples.isEmpty() && d.notes.isEmpty())
        return;
    f.heading(QStringLiteral("Samples and notes"));
    for (const annotation::SampleMark &m : d.samples)
        f.paragraph(QStringLiteral("From row %1 (%2): %3").arg(m.fromRow).arg(m.local, annotation::sampleText(m.sample)));
    for (const annotation::Note &n : d.notes)
        f.paragraph(QStringLiteral("Note %1").arg(annotation::noteText(n)));
}

void signaturesSection(PageFlow &f, const ReportData &d)
{
    f.heading(QStringLiteral("Signatures"));
    // 1. One line per meaning, each filled by every signature of it; the
    // lines of performed and reviewed are there to sign on paper too.
    for (const annotation::Meaning &m : annotation::kMeanings) {
        const QString caption = QString::fromLatin1(m.line);
        bool any = false;
        for (const annotation::Signature &s : d.signatures) {
            if (s.meaning != QLatin1String(m.key))
                continue;
            any = true;
            // The line holds the minute; the text under it the whole time.
            f.signatureLine(caption, QStringLiteral("%1 (%2)").arg(s.name, s.login),
                            s.local.left(16).replace(QLatin1Char('T'), QLatin1Char(' ')));
            f.paragraph(QStringLiteral("Signed electronically as %1 at %2, reason: %3%4")
                            .arg(QString::fromLatin1(m.key), s.local, s.reason,
                                 s.overChain ? QString()
                                             : QStringLiteral(" (the fingerprint it names is not the chain's before it)")));
        }
        if (!any)
            f.signatureLine(caption);
    }
    // 2. What came after the last signature is not covered by it.
    if (!d.signatures.isEmpty() && d.entries > d.signatures.last().seq) {
        const qint64 after = d.entries - d.signatures.last().seq;
        f.paragraph((after == 1 ? QStringLiteral("%1 entry of the chain was added after the last signature (entry %2).")
                                : QStringLiteral("%1 entries of the chain were added after the last signature (entry %2)."))
                        .arg(after)
                        .arg(d.signatures.last().seq));
    }
}
