#ifndef MISC_CTRL_H
#define MISC_CTRL_H

#include "com_display_interface.h"

namespace Ui {
class MiscCtrl;
}

// The controller mode and the lever length.
class MiscCtrl : public COM_Display_Interface
{
    Q_OBJECT

public:
    explicit MiscCtrl(QWidget* parent = nullptr);
    ~MiscCtrl() override;

    void init_periodic_items() override;

private:
    Ui::MiscCtrl* ui;
};

#endif // MISC_CTRL_H
