#ifndef DATA_FILES_H
#define DATA_FILES_H

#include <QString>

// Where a file shipped with the program is (the licence terms): beside the
// program in the build tree, in the program's data folder once installed.
// When it is in neither, the path beside the program, so that a link to it
// still names the file a technician would look for.
QString Data_File(const QString& program_dir, const QString& name);

#endif // DATA_FILES_H
