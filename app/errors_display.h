#ifndef ERRORS_DISPLAY_H
#define ERRORS_DISPLAY_H

#include "com_display_interface.h"

namespace Ui {
class ErrorsDisplay;
}

// The twelve fault flags with their blink codes.
class ErrorsDisplay : public COM_Display_Interface
{
    Q_OBJECT

public:
    explicit ErrorsDisplay(QWidget* parent = nullptr);
    ~ErrorsDisplay() override;

    void init_periodic_items() override;
    // True while the controller reports at least one fault.
    bool Any_Fault() const;

private:
    Ui::ErrorsDisplay* ui;
};

#endif // ERRORS_DISPLAY_H
