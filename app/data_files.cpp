#include "data_files.h"

#include "build_info.h"

#include <QDir>
#include <QFileInfo>

QString Data_File(const QString& program_dir, const QString& name)
{
    const QDir dir(program_dir);
    const QString beside = dir.filePath(name);
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed =
        QDir::cleanPath(dir.filePath(QStringLiteral(VANTOR_DATA_FROM_BIN "/") + name));
    return QFileInfo::exists(installed) ? installed : beside;
}
