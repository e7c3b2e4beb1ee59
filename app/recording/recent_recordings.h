#ifndef APP_RECORDING_RECENT_RECORDINGS_H
#define APP_RECORDING_RECENT_RECORDINGS_H

#include <QString>
#include <QStringList>

// The recordings made or opened last, newest first, kept in the settings
// under "Recordings/recent".
namespace Recent_Recordings {

constexpr int Max_Files = 8;

// The folder where recordings are saved, and where opening one starts.
QString Folder();
// The recent files that still exist, newest first.
QStringList List();
// Puts FILE first, once; the oldest beyond Max_Files go.
void Add(const QString& file);
void Clear();

} // namespace Recent_Recordings

#endif // APP_RECORDING_RECENT_RECORDINGS_H
