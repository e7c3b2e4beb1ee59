#include "io_display.h"

#include "ui_io_display.h"

IODisplay::IODisplay(QWidget* parent) : COM_Display_Interface(parent), ui(new Ui::IODisplay)
{
    ui->setupUi(this);
    init_periodic_items();
}

IODisplay::~IODisplay()
{
    delete ui;
}

void IODisplay::init_periodic_items() {}
