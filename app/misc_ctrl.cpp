#include "misc_ctrl.h"

#include "ui_misc_ctrl.h"

MiscCtrl::MiscCtrl(QWidget* parent) : COM_Display_Interface(parent), ui(new Ui::MiscCtrl)
{
    ui->setupUi(this);
    init_periodic_items();
}

MiscCtrl::~MiscCtrl()
{
    delete ui;
}

void MiscCtrl::init_periodic_items() {}
