// The report as PDF: the page laid out by the rich-text engine, printed page
// by page under a header and above a footer "Page N of M", with the chart
// painted as vector paths where the page holds its place.

#include "report/report_pdf.h"

#include "report/report_page_style.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextObjectInterface>
#include <QTextTable>

namespace Service_Report {

namespace {

constexpr int Chart_Object = QTextFormat::UserObject + 1;
constexpr int Dpi = 96;

class Chart_Painter : public QObject, public QTextObjectInterface
{
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    explicit Chart_Painter(const Chart& chart, double width) : chart(chart), width(width) {}

    QSizeF intrinsicSize(QTextDocument*, int, const QTextFormat&) override
    {
        const double w = qMin(width, Chart_Width);
        return QSizeF(w, w * Chart_Height / Chart_Width);
    }
    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int,
                    const QTextFormat&) override
    {
        Paint_Chart(painter, rect, chart);
    }

private:
    const Chart& chart;
    double width;
};

// Each table starts a new page rather than being split, when it fits on
// one: the heading before it goes along.
void keep_tables_whole(QTextDocument* document, double page_height)
{
    for (int pass = 0; pass < 64; ++pass) {
        bool moved = false;
        for (QTextFrame* frame : document->rootFrame()->childFrames()) {
            auto table = qobject_cast<QTextTable*>(frame);
            if (!table)
                continue;
            // The table's heading: the short lines just before it (a title, the
            // verdict's overall line), not a table or the chart.
            QTextBlock heading;
            for (QTextBlock b = document->findBlock(table->firstPosition()).previous();
                 b.isValid() && !QTextCursor(b).currentTable() && b.length() < 120 &&
                 !b.text().contains(QChar::ObjectReplacementCharacter);
                 b = b.previous())
                if (!b.text().trimmed().isEmpty())
                    heading = b;
            QRectF box = document->documentLayout()->frameBoundingRect(table);
            if (heading.isValid())
                box.setTop(document->documentLayout()->blockBoundingRect(heading).top());
            const int first = int(box.top() / page_height);
            const int last = int((box.bottom() - 1) / page_height);
            if (first == last || box.height() > page_height * 0.8)
                continue;
            if (heading.isValid() &&
                heading.blockFormat().pageBreakPolicy() == QTextFormat::PageBreak_Auto) {
                QTextBlockFormat format;
                format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
                QTextCursor(heading).mergeBlockFormat(format);
            } else if (table->format().pageBreakPolicy() == QTextFormat::PageBreak_Auto) {
                QTextTableFormat format = table->format();
                format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
                table->setFormat(format);
            } else {
                continue;
            }
            moved = true;
            break; // everything after it moved: measure again
        }
        if (!moved)
            return;
    }
}

void place_chart(QTextDocument* document)
{
    QTextCursor at = document->find(Chart_Placeholder);
    if (at.isNull())
        return;
    QTextCharFormat format;
    format.setObjectType(Chart_Object);
    at.insertText(QString(QChar::ObjectReplacementCharacter), format);
}

} // namespace

bool Write_Pdf(const Data& data, QIODevice* out)
{
    QPdfWriter pdf(out);
    pdf.setTitle(Title);
    pdf.setCreator(QStringLiteral("Vantor ") + data.program_version);
    pdf.setPageSize(Page_Size());
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    pdf.setResolution(Dpi);
    const QRectF page = pdf.pageLayout().fullRectPixels(Dpi);
    const double mm = Dpi / 25.4;
    const QRectF body =
        page.adjusted(Page_Margins_Mm.left() * mm, Page_Margins_Mm.top() * mm,
                      -Page_Margins_Mm.right() * mm, -Page_Margins_Mm.bottom() * mm);

    QTextDocument document;
    // Text as the reader would search it: "off", not a ligature of its own.
    QFont font = document.defaultFont();
    font.setPointSizeF(Font_Points);
    font.setStyleStrategy(QFont::PreferNoShaping);
    document.setDefaultFont(font);
    QTextOption option = document.defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document.setDefaultTextOption(option);
    document.documentLayout()->setPaintDevice(&pdf);
    Chart_Painter chart(data.chart, body.width());
    document.documentLayout()->registerHandler(Chart_Object, &chart);
    document.setHtml(Html(data, Chart_Form::Placeholder));
    place_chart(&document);
    document.setPageSize(body.size());
    keep_tables_whole(&document, body.height());

    const QString header = Header_Text(Serial_Text(data), Time_Text(data.created));
    const int pages = document.pageCount();
    QPainter painter(&pdf);
    QFont small = font;
    small.setPointSizeF(Font_Points - 1);
    for (int i = 0; i < pages; ++i) {
        if (i > 0)
            pdf.newPage();
        painter.setFont(small);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(body.left(), 8 * mm, body.width(), body.top() - 12 * mm),
                         Qt::AlignHCenter | Qt::AlignBottom, header);
        painter.drawText(QRectF(body.left(), body.bottom() + 6 * mm, body.width(), 8 * mm),
                         Qt::AlignHCenter | Qt::AlignTop, Footer_Text(i + 1, pages));
        painter.save();
        painter.translate(body.left(), body.top() - i * body.height());
        const QRectF clip(0, i * body.height(), body.width(), body.height());
        painter.setClipRect(clip);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = clip;
        context.palette.setColor(QPalette::Text, Qt::black);
        document.documentLayout()->draw(&painter, context);
        painter.restore();
    }
    return painter.end();
}

} // namespace Service_Report

#include "report_pdf.moc"
