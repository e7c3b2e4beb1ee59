#ifndef APP_VIEWS_CHART_EXPORT_H
#define APP_VIEWS_CHART_EXPORT_H

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class QTextStream;
class QWidget;
class QwtPlot;

namespace Views {

// Writes PLOTS one above the other as they are shown, with their legends,
// and BELOW beneath them, to FILE: SVG (traces as paths, words as text)
// where its name ends in .svg, else PNG. The file is written whole or not at
// all; on failure *error says why.
bool Write_Chart_Image(const QList<QwtPlot*>& plots, QWidget* below, const QString& file,
                       QString* error);

// The command line's chart export: RECORDING's charts with the signals of
// CODES (the remembered choice when empty) over FROM to TO seconds (the whole
// recording where absent) written to OUT. Returns the exit status: 0, or 1
// after one line on ERR when the recording cannot be read or OUT written.
int Export_Chart(const QString& recording, const QString& out, const QStringList& codes,
                 std::optional<double> from, std::optional<double> to, QTextStream& err);

} // namespace Views

#endif // APP_VIEWS_CHART_EXPORT_H
