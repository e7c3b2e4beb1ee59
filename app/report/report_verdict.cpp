// The verdict at the head of the report: one line per check, and the overall
// outcome they make.

#include "report/report_data.h"
#include "report/report_tab_views.h"

namespace Service_Report {

QString Status_Text(Check::Status status)
{
    static const char* const Texts[] = {"PASS", "FAIL", "INCOMPLETE", "NOTE"};
    return QLatin1String(Texts[status]);
}

QVector<Check> Checks(const Data& data)
{
    Tab_Views v(data.answers);
    QVector<Check> checks;

    const QStringList missing = Faults_Not_Read(v);
    const QStringList active = Active_Faults(v);
    if (!missing.isEmpty())
        checks.append({Check::Incomplete, QStringLiteral("Active faults"),
                       QStringLiteral("fault words %1 %2")
                           .arg(missing.join(QStringLiteral(", ")), Not_Read_Text)});
    else
        checks.append(
            {active.isEmpty() ? Check::Pass : Check::Fail, QStringLiteral("Active faults"),
             active.isEmpty() ? QStringLiteral("none") : active.join(QStringLiteral("; "))});

    const QStringList warnings = Warnings(v);
    const bool readings = v.has({"PXV", "IGV"});
    checks.append({!warnings.isEmpty() ? Check::Fail
                   : readings          ? Check::Pass
                                       : Check::Incomplete,
                   QStringLiteral("Readings within the status limits"),
                   !warnings.isEmpty() ? warnings.join(QStringLiteral("; "))
                   : readings ? QStringLiteral("battery and reservoir pressure within their limits")
                              : QStringLiteral("battery or pressure ") + Not_Read_Text});

    if (data.compressor_runs.isEmpty()) {
        checks.append({Check::Note, QStringLiteral("Compressor test"), QStringLiteral("not run")});
    } else {
        const MaintCtrl::Test_Run& last = data.compressor_runs.last();
        checks.append({last.passed ? Check::Pass : Check::Fail, QStringLiteral("Compressor test"),
                       last.verdict});
    }

    static const Check::Status From_Outcome[] = {Check::Pass, Check::Fail, Check::Incomplete};
    for (const Diagnostics::Result& r : data.tests) {
        QString line = r.summary;
        if (r.outcome == Diagnostics::Outcome::Inconclusive && !r.reason.isEmpty())
            line += (line.isEmpty() ? QString() : QStringLiteral(": ")) + r.reason;
        checks.append({From_Outcome[int(r.outcome)],
                       Diagnostics::Test_Title(r.test) + QStringLiteral(" test"), line});
    }

    // A counter that went down was reset: its history says when.
    static const char* const History_Names[] = {"On time", "Compressor time",
                                                "Compressor overheat count"};
    for (int i = 0; i < data.history.size() && i < 3; ++i) {
        const fc_map_type& history = data.history[i];
        for (auto it = history.constBegin(); it != history.constEnd(); ++it)
            if (it != history.constBegin() && it.value() < std::prev(it).value())
                checks.append({Check::Note, QStringLiteral("Counter reset"),
                               QStringLiteral("%1 reset before %2 (%3, was %4)")
                                   .arg(QLatin1String(History_Names[i]), Stamp_Text(it.key()))
                                   .arg(it.value())
                                   .arg(std::prev(it).value())});
    }
    return checks;
}

Check::Status Overall(const QVector<Check>& checks)
{
    Check::Status overall = Check::Pass;
    for (const Check& c : checks) {
        if (c.status == Check::Fail)
            return Check::Fail;
        if (c.status == Check::Incomplete)
            overall = Check::Incomplete;
    }
    return overall;
}

} // namespace Service_Report
