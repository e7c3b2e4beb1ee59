#ifndef MAIN_DISPLAY_H
#define MAIN_DISPLAY_H

#include "com_display_interface.h"

namespace Ui {
class MainDisplay;
}

// Live sensor angles and heights, operating mode, reservoir pressure, compressor temperature and
// battery voltage.
class MainDisplay : public COM_Display_Interface
{
    Q_OBJECT

public:
    explicit MainDisplay(QWidget* parent = nullptr);
    ~MainDisplay() override;

    void init_periodic_items() override;

private:
    Ui::MainDisplay* ui;
};

#endif // MAIN_DISPLAY_H
