// The controller's serial number and firmware, read once when a port opens
// whatever tab is shown.
#include "app_test_main.h"

#include "main_window.h"

#include <virtual_controller.h>

class Device_Identity_Test : public QObject
{
    Q_OBJECT

private slots:
    void read_once_at_connect_whatever_tab();
};

void Device_Identity_Test::read_once_at_connect_whatever_tab()
{
    Prompt_Answers prompts;
    Sim::Virtual_Controller sim;
    QVERIFY(sim.start());
    MainWindow window;
    window.Open_Port(QString::fromStdString(sim.device_path()));
    QTRY_VERIFY(sim.request_count("get REV") > 0);
    // The main tab keeps polling meanwhile; the identity is not read again.
    const unsigned polled = sim.total_requests();
    QTRY_VERIFY(sim.total_requests() > polled + 20);
    for (const char* code : {"SN1", "SN2", "SN3", "SN4", "PRT", "REV"})
        QCOMPARE(sim.request_count(std::string("get ") + code), 1u);
    QVERIFY(prompts.asked.isEmpty());
    window.Quit_Now();
}

VANTOR_TEST_MAIN(Device_Identity_Test)
#include "tst_device_identity.moc"
