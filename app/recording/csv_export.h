#ifndef APP_RECORDING_CSV_EXPORT_H
#define APP_RECORDING_CSV_EXPORT_H

#include <QString>

namespace Recording {

// Writes a session recording as CSV: by default one row per reading time
// with a column per code ("time_s,ABC,..."), with traffic the line's bytes
// ("time_s,direction,text"). The recording is only ever opened read-only.
// On failure nothing is written, an existing csv stays as it was, and error
// holds one line for the user. Numbers are written with '.' in any locale; a
// text cell that begins with '=', '+', '-', '@', a tab or a CR gets a leading
// apostrophe, so that a spreadsheet shows it instead of running it.
bool Export_CSV(const QString& recording, const QString& csv, bool traffic, QString* error);

} // namespace Recording

#endif // APP_RECORDING_CSV_EXPORT_H
