#include "diagnostics/result_recording.h"

#include "recording/session_recorder.h"

#include <QJsonDocument>

namespace Diagnostics {

QString Recorded_Test_Name(Test_Kind kind)
{
    return QStringLiteral("guided_") + Test_Key(kind);
}

void Record_Start(Session_Recorder* recorder, Test_Kind kind)
{
    if (recorder)
        recorder->Add_Event(QStringLiteral("guided_test_start"), Test_Title(kind));
}

void Record_Result(Session_Recorder* recorder, const Result& result)
{
    if (!recorder)
        return;
    recorder->Add_Result(
        Recorded_Test_Name(result.test), Outcome_Key(result.outcome), result.summary,
        QString::fromUtf8(QJsonDocument(result.To_Json()).toJson(QJsonDocument::Compact)));
    recorder->Add_Event(QStringLiteral("guided_test_verdict"), result.Verdict_Line());
}

} // namespace Diagnostics
