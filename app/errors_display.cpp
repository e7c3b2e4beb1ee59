#include "errors_display.h"

#include "ui_errors_display.h"

ErrorsDisplay::ErrorsDisplay(QWidget* parent)
    : COM_Display_Interface(parent), ui(new Ui::ErrorsDisplay)
{
    ui->setupUi(this);
    init_periodic_items();
}

ErrorsDisplay::~ErrorsDisplay()
{
    delete ui;
}

void ErrorsDisplay::init_periodic_items() {}

bool ErrorsDisplay::Any_Fault() const
{
    return false;
}
