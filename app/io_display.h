#ifndef IO_DISPLAY_H
#define IO_DISPLAY_H

#include "com_display_interface.h"

namespace Ui {
class IODisplay;
}

// The controller's inputs and outputs.
class IODisplay : public COM_Display_Interface
{
    Q_OBJECT

public:
    explicit IODisplay(QWidget* parent = nullptr);
    ~IODisplay() override;

    void init_periodic_items() override;

private:
    Ui::IODisplay* ui;
};

#endif // IO_DISPLAY_H
