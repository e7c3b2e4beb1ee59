#ifndef ERRORS_DISPLAY_H
#define ERRORS_DISPLAY_H

#include "com_display_interface.h"

class QCheckBox;

namespace Ui {
class ErrorsDisplay;
}

// The "Fault" tab: twelve display-only check boxes, one per fault the
// controller reports, in blink-code order. The three fault words come from the
// main window's own requests, made every two seconds whichever tab is shown,
// so the tab has no items of its own.
class ErrorsDisplay : public COM_Display_Interface
{
    Q_OBJECT

public:
    explicit ErrorsDisplay(QWidget* parent = nullptr);
    ~ErrorsDisplay() override;

    void init_periodic_items() override;
    // True while the controller reports at least one fault; drives the blink
    // of the tab's title.
    bool Any_Fault() const;

public slots:
    void Rx_FM1(QSharedPointer<Quillon::Packet_Class> FM1_resp);
    void Rx_FM2(QSharedPointer<Quillon::Packet_Class> FM2_resp);
    void Rx_FM3(QSharedPointer<Quillon::Packet_Class> FM3_resp);

private:
    // Ticks the word's four boxes by its four fields; true if any is set.
    static bool show_word(QCheckBox* const (&boxes)[4], const bool (&fields)[4]);

    Ui::ErrorsDisplay* ui;
    bool FM1_Fault = false;
    bool FM2_Fault = false;
    bool FM3_Fault = false;
};

#endif // ERRORS_DISPLAY_H
