#include "diagnostics/run_test_command.h"

#include "headless_worker.h"

#include "diagnostics/result_recording.h"
#include "diagnostics/test_runner.h"
#include "recording/session_recorder.h"
#include "report/report_command.h"
#include "report/report_writer.h"
#include "views/line_tap.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QTextStream>

#include <memory>

using namespace Quillon;

namespace Diagnostics {

namespace {

// Runs the test through a worker of its own; the result once it has ended.
Result run(COM_Resource* resource, const Run_Test_Request& request, Session_Recorder* recorder,
           Series* samples)
{
    Headless_Worker headless(resource);
    const Test_Limits limits;
    std::unique_ptr<Test_Runner> runner(Make_Runner(request.test, limits));
    if (std::isfinite(request.minutes))
        runner->Set_Duration(request.minutes * 60);
    QEventLoop loop;
    Result result;
    QObject::connect(runner.get(), &Test_Runner::Finished, &loop, [&](const Result& r) {
        result = r;
        loop.quit();
    });
    headless.Start();
    Record_Start(recorder, request.test);
    if (runner->Start(headless.Worker()))
        loop.exec();
    else
        result = runner->Last_Result();
    *samples = runner->Samples();
    // The runner lets go of its items while the worker still runs.
    runner.reset();
    return result;
}

} // namespace

int Exit_Status(const Result& result)
{
    switch (result.outcome) {
    case Outcome::Pass:
        return Exit::Pass;
    case Outcome::Fail:
        return Exit::Fail;
    case Outcome::Inconclusive:
        break;
    }
    return result.reason_code == QLatin1String(Reason::Connection_Lost) ? Exit::Not_Read
                                                                        : Exit::Inconclusive;
}

int Run_Test_Command(const Run_Test_Request& request)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    // A report that could not be written is refused before the test runs.
    if (!request.report.isEmpty()) {
        const QString error = Service_Report::Name_Error(request.report);
        if (!error.isEmpty()) {
            err << error << '\n';
            return 2;
        }
    }
    COM_Setup setup;
    QString name = request.port;
    QString error;
    if (!setup.TryOpenWithDefaults(&name, &error)) {
        err << "cannot open " << name << ": " << error.simplified() << '\n';
        return Exit::Not_Read;
    }
    Views::Line_Tap tap;
    Session_Recorder recorder(&tap);
    bool recording_failed = false;
    QObject::connect(&recorder, &Session_Recorder::Recording_Failed, [&](const QString& message) {
        err << message << '\n';
        recording_failed = true;
    });
    if (!request.record.isEmpty()) {
        tap.Attach(setup.Open_Resource);
        recorder.Attach(setup.Open_Resource);
        if (!recorder.Start(request.record, &error)) {
            setup.CloseComPort();
            err << error << '\n';
            return Exit::Not_Read;
        }
        for (const QString& key : Service_Report::Job_Info::Keys()) {
            if (!request.job.Entry(key)->isEmpty())
                recorder.Set_Job(key, *request.job.Entry(key));
        }
    }
    Series samples;
    const Result result =
        run(setup.Open_Resource, request, request.record.isEmpty() ? nullptr : &recorder, &samples);
    Record_Result(&recorder, result);
    recorder.Stop();
    recorder.Detach();
    tap.Detach();
    setup.CloseComPort();

    if (request.json)
        out << QJsonDocument(result.To_Json()).toJson(QJsonDocument::Indented);
    else
        out << result.Verdict_Line() << '\n';
    out.flush();
    if (recording_failed)
        return Exit::Not_Read;
    if (!request.report.isEmpty()) {
        const int status = Service_Report::Run_Command(
            name, request.report, request.job, {result},
            Service_Report::Samples_Chart(samples,
                                          Test_Title(result.test) + QStringLiteral(" test")));
        if (status != 0)
            return status;
    }
    return Exit_Status(result);
}

} // namespace Diagnostics
