#include "dev_info_display.h"

#include "ui_dev_info_display.h"

DevInfoDisplay::DevInfoDisplay(QWidget* parent)
    : COM_Display_Interface(parent), ui(new Ui::DevInfoDisplay)
{
    ui->setupUi(this);
    init_periodic_items();
}

DevInfoDisplay::~DevInfoDisplay()
{
    delete ui;
}

void DevInfoDisplay::init_periodic_items() {}
