#include "report/report_command.h"

#include "headless_worker.h"
#include "report/report_collector.h"
#include "report/report_writer.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTextStream>

using namespace Quillon;

namespace Service_Report {

namespace {

const QString History_File = QStringLiteral("parameters.ini");

// Reads once through a worker of its own; the serial error, if one ended it.
QString collect(COM_Resource* resource, Collector* collector)
{
    Headless_Worker headless(resource);
    QEventLoop loop;
    QString serial_error;
    QObject::connect(resource, &COM_Resource::COM_Error, &loop, [&](QString* text) {
        serial_error = text ? text->simplified() : QStringLiteral("serial error");
        loop.quit();
    });
    QObject::connect(collector, &Collector::Collected, &loop, &QEventLoop::quit);
    headless.Start();
    if (collector->Start(headless.Worker()))
        loop.exec();
    return serial_error;
}

} // namespace

QList<fc_map_type> Stored_History()
{
    QList<fc_map_type> history;
    // The history class would create a missing file; a report only reads.
    if (!QFileInfo::exists(Fault_Counts_Class::Directory() + QDir::separator() + History_File))
        return history;
    const Fault_Counts_Class stored(History_File, 3);
    for (int i = 0; i < stored.Series_Count(); ++i)
        history << stored.Series(i);
    return history;
}

int Run_Command(const QString& port, const QString& file, const Job_Info& job,
                const QVector<Diagnostics::Result>& tests, const Chart& chart)
{
    QTextStream err(stderr);
    // A name that cannot be written is refused before the controller is asked.
    QString error = Name_Error(file);
    if (!error.isEmpty()) {
        err << error << '\n';
        return 2;
    }
    COM_Setup setup;
    QString name = port;
    if (!setup.TryOpenWithDefaults(&name, &error)) {
        err << "cannot open " << name << ": " << error.simplified() << '\n';
        return 1;
    }
    Collector collector;
    error = collect(setup.Open_Resource, &collector);
    setup.CloseComPort();
    const QStringList missing = collector.Not_Read();
    if (!error.isEmpty()) {
        err << error << "; no report written\n";
        return 1;
    }
    if (missing == Collector::Codes()) {
        err << "no answer from the controller on " << name << "; no report written\n";
        return 1;
    }
    if (!missing.isEmpty()) {
        err << "not read: " << missing.join(QStringLiteral(", ")) << "; no report written\n";
        return 1;
    }
    Data data;
    data.created = QDateTime::currentDateTime();
    data.program_version = QCoreApplication::applicationVersion();
    data.port = name;
    data.answers = collector.Answers();
    data.history = Stored_History();
    data.job = job;
    data.tests = tests;
    data.chart = chart;
    if (!Write(data, file, &error)) {
        err << error << '\n';
        return 1;
    }
    return 0;
}

} // namespace Service_Report
