#ifndef TESTS_SUPPORT_SIM_OPTIONS_H
#define TESTS_SUPPORT_SIM_OPTIONS_H

// vantor-sim's options as it parses them, from one string of words; "_"
// stands for a space within a word.

#include "command_line.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <vector>

inline Sim::Command_Line parsed(const QString& options)
{
    QList<QByteArray> words = ("vantor-sim " + options).trimmed().toLatin1().split(' ');
    std::vector<const char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.replace('_', ' ').constData());
    Sim::Command_Line line;
    std::string error;
    if (!Sim::parse_command_line(int(argv.size()), argv.data(), &line, &error))
        qFatal("%s", error.c_str());
    return line;
}

#endif // TESTS_SUPPORT_SIM_OPTIONS_H
