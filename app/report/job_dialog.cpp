#include "report/job_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace Service_Report {

namespace {

const QStringList& units()
{
    static const QStringList list = {QStringLiteral("mi"), QStringLiteral("km")};
    return list;
}

QString default_unit()
{
    return QLocale().measurementSystem() == QLocale::MetricSystem ? QStringLiteral("km")
                                                                  : QStringLiteral("mi");
}

} // namespace

Job_Dialog::Job_Dialog(const Job_Info& job, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Job"));
    setObjectName(QStringLiteral("JobDialog"));
    auto form = new QFormLayout;
    for (const QString& key : Job_Info::Keys()) {
        const QString value = *job.Entry(key);
        const QString label = Job_Info::Label(key) + QLatin1Char(':');
        if (key == QLatin1String("notes")) {
            notes = new QPlainTextEdit(value, this);
            notes->setObjectName(QStringLiteral("job_notes"));
            notes->setTabChangesFocus(true);
            form->addRow(label, notes);
            continue;
        }
        auto line = new QLineEdit(this);
        line->setObjectName(QStringLiteral("job_") + key);
        line->setText(value);
        if (key == QLatin1String("odometer")) {
            odometer = line;
            odometer_unit = new QComboBox(this);
            odometer_unit->setObjectName(QStringLiteral("job_odometer_unit"));
            odometer_unit->addItems(units());
            // "84210 mi": the unit goes to the box, the reading stays.
            const QString unit = value.section(QLatin1Char(' '), -1);
            const bool has_unit = units().contains(unit) && value.contains(QLatin1Char(' '));
            odometer_unit->setCurrentText(has_unit ? unit : default_unit());
            if (has_unit)
                line->setText(value.section(QLatin1Char(' '), 0, -2));
            auto row = new QHBoxLayout;
            row->addWidget(line, 1);
            row->addWidget(odometer_unit);
            form->addRow(label, row);
            continue;
        }
        if (key == QLatin1String("technician") && value.isEmpty())
            line->setText(Job_Info::Remembered_Technician());
        form->addRow(label, line);
        if (key == QLatin1String("vin")) {
            vin_mark = new QLabel(
                QStringLiteral("Not a 17-character VIN (letters and digits, no I, O or Q)"), this);
            vin_mark->setObjectName(QStringLiteral("job_vin_mark"));
            vin_mark->setStyleSheet(QStringLiteral("color: orangered"));
            form->addRow(QString(), vin_mark);
            connect(line, &QLineEdit::textChanged, this, &Job_Dialog::show_vin_mark);
        }
    }
    show_vin_mark();
    auto buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

QLineEdit* Job_Dialog::edit(const QString& key) const
{
    return findChild<QLineEdit*>(QStringLiteral("job_") + key);
}

void Job_Dialog::show_vin_mark()
{
    const QString vin = edit(QStringLiteral("vin"))->text().trimmed().toUpper();
    vin_mark->setVisible(!vin.isEmpty() && !Job_Info::Vin_Valid(vin));
}

Job_Info Job_Dialog::Job() const
{
    Job_Info job;
    for (const QString& key : Job_Info::Keys())
        if (QLineEdit* line = edit(key))
            job.Set(key, line->text());
    job.vin = job.vin.toUpper();
    if (!job.odometer.isEmpty())
        job.odometer += QLatin1Char(' ') + odometer_unit->currentText();
    job.Set(QStringLiteral("notes"), notes->toPlainText());
    return job;
}

void Job_Dialog::accept()
{
    Job_Info::Remember_Technician(Job().technician);
    QDialog::accept();
}

} // namespace Service_Report
