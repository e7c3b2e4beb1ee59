#ifndef LEVER_LENGTH_FORM_H
#define LEVER_LENGTH_FORM_H

#include <QDoubleValidator>
#include <QPixmap>
#include <QSettings>
#include <QWidget>

namespace Ui {
class Lever_Length_Form;
}

// The editor of the lever length in inches (3.0 to 8.0, one decimal). It keeps
// the value in the application's settings under "System/ll" and announces
// every value it loads or saves with lever_length_changed, which the main
// window passes on to every Suspension_Heights_Class.
class Lever_Length_Form : public QWidget
{
    Q_OBJECT

public:
    explicit Lever_Length_Form(QWidget* parent = nullptr);
    ~Lever_Length_Form() override;

    static constexpr const char* Settings_Key = "System/ll";
    static constexpr double Factory_Standard = 6.0;

    // Reads "System/ll" (6.0 when absent, 0.0 when not a number), shows it and
    // announces it.
    void load_lever_length();
    // The entry as a number, cut to one decimal toward zero; 0.0 when the text
    // is not a number.
    double entry_value() const;
    // The value last loaded or saved.
    double lever_length() const { return _lever_length; }

signals:
    void lever_length_changed(double _lever_length);

public slots:
    void textChanged(QString text);
    void pbSetToFactoryStd_Clicked();
    void btnSaveLL_Clicked();

private:
    Ui::Lever_Length_Form* ui;
    QPixmap warning_image;
    QPixmap ok_image;
    QPixmap empty_image;
    double _lever_length = 0.0;
    QDoubleValidator* validator;
    QSettings settings;
};

#endif // LEVER_LENGTH_FORM_H
