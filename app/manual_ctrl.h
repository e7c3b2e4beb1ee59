#ifndef MANUAL_CTRL_H
#define MANUAL_CTRL_H

#include "com_display_interface.h"

namespace Ui {
class ManualCtrl;
}

// Raising and lowering each side by hand, and the ride and dump presets.
class ManualCtrl : public COM_Display_Interface
{
    Q_OBJECT

public:
    explicit ManualCtrl(QWidget* parent = nullptr);
    ~ManualCtrl() override;

    void init_periodic_items() override;

private:
    Ui::ManualCtrl* ui;
};

#endif // MANUAL_CTRL_H
