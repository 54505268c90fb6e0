#pragma once
#include <QFont>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTextLayout>

#include <functional>

class QPagedPaintDevice;
class QPainter;

// A table that the flow paginates: its header row is repeated on every page
// it runs onto, and every cell wraps within its column.
struct FlowTable
{
    QList<double> widths;            // parts of the text width, summing to 1
    QStringList header;              // empty: no header row
    QList<Qt::Alignment> align;      // per column; left when missing
    int rows = 0;
    std::function<QStringList(int row)> cells;
    QFont font;                      // the body font when unset
};

// Lays text, tables and pictures down the pages of a paged device one after
// another, turning the page where the next piece does not fit, with the
// footer on every page: a line that may be shortened, and beneath it a mark
// that never is (the recording's fingerprint) beside "page x of y". Run it
// twice over the same content:
// once without a painter to count the pages, then with one to draw them; the
// two runs measure alike, so they break the pages alike.
class PageFlow
{
public:
    PageFlow(QPagedPaintDevice &device, QPainter *painter, const QString &footer, const QString &mark,
             int totalPages);

    int pages() const { return page_; }
    double textWidth() const { return width_; }
    double remaining() const { return bottom_ - y_; }
    double textHeight() const { return bottom_; }   // of a whole page
    bool atTop() const { return y_ == 0; }
    double mm(double millimetres) const;

    QFont bodyFont() const { return body_; }
    QFont monoFont() const { return mono_; }
    QFont boldFont() const;
    // The height of one table row of single-line cells in `font`.
    double rowHeight(const QFont &font) const;
    double paragraphHeight(const QString &text, const QFont &font) const;
    double advance(const QString &text, const QFont &font) const;

    void newPage();
    void space(double millimetres);
    void title(const QString &text);
    // A heading stays with the first lines of what follows it, or with the
    // first `keep` units of it when given.
    void heading(const QString &text, bool major = true, double keep = -1);
    void paragraph(const QString &text, const QFont &font, const QList<QTextLayout::FormatRange> &formats = {});
    void paragraph(const QString &text) { paragraph(text, body_); }
    void table(const FlowTable &table);
    void image(const QImage &image);
    double imageHeight(const QImage &image) const;
    // "Performed by" and the like: a caption, a line to sign on, and a date
    // line; with the names and the date of an electronic signature on them.
    void signatureLine(const QString &caption, const QString &signer = {}, const QString &date = {});
    // Closes the last page with its footer.
    void finish();

private:
    void layoutText(QTextLayout &layout, double width, Qt::Alignment align, int maxLines) const;
    double drawRow(const FlowTable &t, const QStringList &texts, const QFont &font, bool header);
    void footer();

    QPagedPaintDevice &device_;
    QPainter *painter_;
    QString footerText_, mark_;
    int total_;
    int page_ = 1;
    double width_ = 0, bottom_ = 0, y_ = 0;
    QFont body_, mono_;
};
