#ifndef APP_REPORT_JOB_DIALOG_H
#define APP_REPORT_JOB_DIALOG_H

#include "report/job_info.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace Service_Report {

// The "Job" dialog: the work order's entries, filled in from the last ones
// and the technician's remembered name. A VIN that does not look like one is
// marked beside the field; it is still taken.
class Job_Dialog : public QDialog
{
    Q_OBJECT

public:
    explicit Job_Dialog(const Job_Info& job, QWidget* parent = nullptr);

    // The entries as edited; the technician's name is remembered on accept.
    Job_Info Job() const;
    void accept() override;

private:
    void show_vin_mark();

    QLineEdit* edit(const QString& key) const;
    QLineEdit* odometer = nullptr;
    QComboBox* odometer_unit = nullptr;
    QPlainTextEdit* notes = nullptr;
    QLabel* vin_mark = nullptr;
};

} // namespace Service_Report

#endif // APP_REPORT_JOB_DIALOG_H
