#ifndef APP_REPORT_JOB_INFO_H
#define APP_REPORT_JOB_INFO_H

// The work order a report and a recording belong to: who brought which
// vehicle, who worked on it, and the workshop's job number. Each entry has a
// short key, the same on the command line (--job KEY=VALUE) and in a
// recording's job table.

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace Service_Report {

struct Job_Info
{
    QString customer;
    QString vehicle;
    QString vin;
    QString odometer; // the reading and its unit: "84210 mi"
    QString technician;
    QString job;
    QString notes;

    // "customer", "vehicle", "vin", "odometer", "technician", "job", "notes".
    static const QStringList& Keys();
    // "Customer", "Vehicle", "VIN", ...
    static QString Label(const QString& key);
    // The entry under KEY: a null pointer for a key that is none.
    QString* Entry(const QString& key);
    const QString* Entry(const QString& key) const;
    // Sets an entry from the command line or a recording, its text cleaned
    // and bounded; false for an unknown key.
    bool Set(const QString& key, const QString& value);
    // The entries that are not empty, in Keys() order.
    QList<QPair<QString, QString>> Entries() const;
    bool Is_Empty() const { return Entries().isEmpty(); }

    // 17 letters and digits without I, O and Q. A VIN that is not is kept as
    // written and marked, since older vehicles and typing errors both occur.
    static bool Vin_Valid(const QString& vin);

    // "KEY=VALUE" from the command line into *job; the reason in *error.
    static bool Parse_Option(const QString& option, Job_Info* job, QString* error);

    // The technician's name as last entered, remembered between sessions.
    static QString Remembered_Technician();
    static void Remember_Technician(const QString& name);
};

// Text from the controller or a person as it may be shown: control
// characters dropped (line breaks kept where `lines` allows), and at most
// `longest` characters.
QString Clean_Text(const QString& text, int longest = 200, bool lines = false);

} // namespace Service_Report

#endif // APP_REPORT_JOB_INFO_H
