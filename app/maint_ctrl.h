#ifndef MAINT_CTRL_H
#define MAINT_CTRL_H

#include "com_display_interface.h"

namespace Ui {
class MaintCtrl;
}

// The maintenance counters and the compressor test.
class MaintCtrl : public COM_Display_Interface
{
    Q_OBJECT

public:
    explicit MaintCtrl(QWidget* parent = nullptr);
    ~MaintCtrl() override;

    void init_periodic_items() override;

private:
    Ui::MaintCtrl* ui;
};

#endif // MAINT_CTRL_H
