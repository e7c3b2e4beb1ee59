#include "recent_recordings.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace Recent_Recordings {

namespace {

const QString Key = QStringLiteral("Recordings/recent");

} // namespace

QString Folder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QStringList List()
{
    QStringList files;
    for (const QString& file : QSettings().value(Key).toStringList())
        if (QFileInfo(file).isFile() && files.size() < Max_Files)
            files << file;
    return files;
}

void Add(const QString& file)
{
    const QString path = QFileInfo(file).absoluteFilePath();
    // Files gone since are dropped here, so that they make no room.
    QStringList files = List();
    files.removeAll(path);
    files.prepend(path);
    QSettings().setValue(Key, QStringList(files.mid(0, Max_Files)));
}

void Clear()
{
    QSettings().remove(Key);
}

} // namespace Recent_Recordings
