#include "lever_length_form.h"

#include "ui_lever_length_form.h"

#include <QLocale>

namespace {

const QString Out_Of_Range_Tip =
    QStringLiteral("<html><head/><body><p>Please enter a number from 3.0 to 8.0</p></body></html>");

} // namespace

Lever_Length_Form::Lever_Length_Form(QWidget* parent)
    : QWidget(parent), ui(new Ui::Lever_Length_Form),
      warning_image(QStringLiteral(":/images/imgWarning")),
      ok_image(QStringLiteral(":/images/imgOk")), validator(new QDoubleValidator(3.0, 8.0, 1, this))
{
    ui->setupUi(this);
    validator->setNotation(QDoubleValidator::StandardNotation);
    // The entry is written with QString::number and read with QString::toDouble,
    // both in the C locale: the validator reads it the same way.
    QLocale c_locale = QLocale::c();
    c_locale.setNumberOptions(QLocale::RejectGroupSeparator);
    validator->setLocale(c_locale);
    ui->lineEdit->setValidator(validator);

    connect(ui->lineEdit, SIGNAL(textChanged(QString)), this, SLOT(textChanged(QString)));
    connect(ui->pbFactoryStd, SIGNAL(clicked()), this, SLOT(pbSetToFactoryStd_Clicked()));
    connect(ui->lineEdit, SIGNAL(editingFinished()), this, SLOT(btnSaveLL_Clicked()));
    connect(ui->btnSaveLL, SIGNAL(clicked()), this, SLOT(btnSaveLL_Clicked()));
}

Lever_Length_Form::~Lever_Length_Form()
{
    delete ui;
}

double Lever_Length_Form::entry_value() const
{
    bool ok = false;
    const double value = ui->lineEdit->text().toDouble(&ok);
    if (!ok)
        return 0.0;
    return int(value * 10.0) / 10.0;
}

void Lever_Length_Form::textChanged(QString text)
{
    int position = ui->lineEdit->cursorPosition();
    if (validator->validate(text, position) == QValidator::Intermediate) {
        ui->btnSaveLL->setEnabled(false);
        ui->lblValidityImage->setPixmap(warning_image);
        ui->lblValidityImage->setToolTip(Out_Of_Range_Tip);
        return;
    }
    if (entry_value() == _lever_length) {
        ui->btnSaveLL->setEnabled(false);
        ui->lblValidityImage->setPixmap(empty_image);
    } else {
        ui->btnSaveLL->setEnabled(true);
        ui->lblValidityImage->setPixmap(ok_image);
    }
    ui->lblValidityImage->setToolTip(QString());
}

void Lever_Length_Form::pbSetToFactoryStd_Clicked()
{
    const QString text = QString::number(Factory_Standard, 'f', 1);
    ui->lineEdit->setText(text);
    textChanged(text);
}

void Lever_Length_Form::btnSaveLL_Clicked()
{
    _lever_length = entry_value();
    emit lever_length_changed(_lever_length);
    settings.setValue(QLatin1String(Settings_Key), _lever_length);
    settings.sync();
    textChanged(ui->lineEdit->text());
}

void Lever_Length_Form::load_lever_length()
{
    _lever_length = settings.value(QLatin1String(Settings_Key), Factory_Standard).toDouble();
    const QString text = QString::number(_lever_length, 'f', 1);
    ui->lineEdit->setText(text);
    textChanged(text);
    emit lever_length_changed(_lever_length);
}
