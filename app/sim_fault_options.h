#ifndef APP_SIM_FAULT_OPTIONS_H
#define APP_SIM_FAULT_OPTIONS_H

// The virtual controller's vehicle faults on the program's command line, as
// vantor-sim takes them (--leak-reservoir 3 ...): with --simulate they reach
// the controller the program starts, so that a test's every verdict can be
// had on a desk.

#include <plant_faults.h>

#include <QCommandLineOption>
#include <QList>
#include <QString>

class QCommandLineParser;

namespace Command_Line {

const QList<QCommandLineOption>& Fault_Options();

// The faults set on PARSER into *faults, *any telling whether one was given;
// returns the mistake in a value, or an empty text.
QString Read_Fault_Options(const QCommandLineParser& parser, Sim::Plant_Faults* faults, bool* any);

} // namespace Command_Line

#endif // APP_SIM_FAULT_OPTIONS_H
