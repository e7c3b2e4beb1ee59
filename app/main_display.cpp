#include "main_display.h"

#include "ui_main_display.h"

MainDisplay::MainDisplay(QWidget* parent) : COM_Display_Interface(parent), ui(new Ui::MainDisplay)
{
    ui->setupUi(this);
    init_periodic_items();
}

MainDisplay::~MainDisplay()
{
    delete ui;
}

void MainDisplay::init_periodic_items() {}
