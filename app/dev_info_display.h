#ifndef DEV_INFO_DISPLAY_H
#define DEV_INFO_DISPLAY_H

#include "com_display_interface.h"

namespace Ui {
class DevInfoDisplay;
}

// The controller's serial number and firmware part number.
class DevInfoDisplay : public COM_Display_Interface
{
    Q_OBJECT

public:
    explicit DevInfoDisplay(QWidget* parent = nullptr);
    ~DevInfoDisplay() override;

    void init_periodic_items() override;

private:
    Ui::DevInfoDisplay* ui;
};

#endif // DEV_INFO_DISPLAY_H
