#include "maint_ctrl.h"

#include "ui_maint_ctrl.h"

MaintCtrl::MaintCtrl(QWidget* parent) : COM_Display_Interface(parent), ui(new Ui::MaintCtrl)
{
    ui->setupUi(this);
    init_periodic_items();
}

MaintCtrl::~MaintCtrl()
{
    delete ui;
}

void MaintCtrl::init_periodic_items() {}
