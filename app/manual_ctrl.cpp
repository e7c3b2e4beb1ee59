#include "manual_ctrl.h"

#include "ui_manual_ctrl.h"

ManualCtrl::ManualCtrl(QWidget* parent) : COM_Display_Interface(parent), ui(new Ui::ManualCtrl)
{
    ui->setupUi(this);
    init_periodic_items();
}

ManualCtrl::~ManualCtrl()
{
    delete ui;
}

void ManualCtrl::init_periodic_items() {}
