#include "chart_export.h"

#include "charts_dock.h"
#include "recording_reader.h"

#include <QApplication>
#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QTextStream>

#include <qwt_plot.h>
#include <qwt_plot_renderer.h>

namespace Views {

namespace {

void paint(const QList<QwtPlot*>& plots, QWidget* below, QPainter* painter)
{
    QwtPlotRenderer renderer;
    renderer.setDiscardFlag(QwtPlotRenderer::DiscardCanvasFrame);
    int y = 0;
    for (QwtPlot* plot : plots) {
        renderer.render(plot, painter, QRectF(0, y, plot->width(), plot->height()));
        y += plot->height();
    }
    if (below) {
        painter->save();
        painter->translate(
            below->mapTo(below->window(), QPoint(0, 0)).x() -
                (plots.isEmpty() ? 0 : plots.first()->mapTo(below->window(), QPoint(0, 0)).x()),
            y);
        below->render(painter, QPoint(), QRegion(), QWidget::DrawChildren);
        painter->restore();
    }
}

} // namespace

bool Write_Chart_Image(const QList<QwtPlot*>& plots, QWidget* below, const QString& file,
                       QString* error)
{
    QSize size(1, below ? below->height() : 0);
    for (const QwtPlot* plot : plots) {
        size.setWidth(std::max(size.width(), plot->width()));
        size.rheight() += plot->height();
    }
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    if (file.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setOutputDevice(&bytes);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(), size));
        // At the screen's resolution, so that the words keep their size.
        if (!plots.isEmpty())
            svg.setResolution(plots.first()->logicalDpiX());
        svg.setTitle(QFileInfo(file).completeBaseName());
        QPainter painter(&svg);
        paint(plots, below, &painter);
    } else {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            paint(plots, below, &painter);
        }
        image.save(&bytes, "PNG");
    }
    QSaveFile out(file);
    if (out.open(QIODevice::WriteOnly) && out.write(bytes.data()) == bytes.size() && out.commit())
        return true;
    *error = QStringLiteral("Cannot write %1: %2").arg(file, out.errorString());
    return false;
}

int Export_Chart(const QString& recording, const QString& out, const QStringList& codes,
                 std::optional<double> from, std::optional<double> to, QTextStream& err)
{
    Recording_Views views;
    QString error;
    if (!Read_Recording(recording, &views, &error)) {
        err << error << '\n';
        return 1;
    }
    // Laid out as on a screen, but never shown on one.
    Charts_Dock charts;
    charts.setAttribute(Qt::WA_DontShowOnScreen);
    if (!codes.isEmpty())
        charts.Set_Signals(codes);
    charts.Show_Recording(views.charts, QFileInfo(recording).fileName());
    int plots = 0;
    for (int p = 0; p < Plot_Count; ++p)
        plots += charts.Plot(p)->isHidden() ? 0 : charts.Plot(p)->minimumHeight() + 40;
    charts.resize(1200, plots + 120);
    charts.show();
    QApplication::processEvents();
    if (from || to)
        charts.Set_View(from.value_or(charts.View_From()), to.value_or(charts.View_To()));
    charts.Redraw();
    if (!charts.Export_Image(out, &error)) {
        err << error << '\n';
        return 1;
    }
    return 0;
}

} // namespace Views
