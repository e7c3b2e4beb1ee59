// The main window against the virtual controller: start-up, the focus
// bookkeeping, the fault word polling, and the ways a connection ends.

#include "app_test_main.h"
#include "serial_error_text.h"

#include "com_display_interface.h"
#include "main_window.h"

#include <virtual_controller.h>

#include <QTabWidget>

#include <memory>

using namespace Quillon;

class Main_Window : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void tabs_shown_after_first_answer();
    void focus_follows_the_tabs();
    void fault_words_polled_every_two_seconds();
    void timeout_retry_yes_resumes();
    void timeout_retry_no_returns_to_port_dialog();
    void hang_up_reports_com_error();
    void exit_without_a_port();
    void exit_with_a_port_asks();
    void leaving_the_port_dialog_at_start_ends_the_program();

private:
    void open();

    std::unique_ptr<Prompt_Answers> answers;
    std::unique_ptr<Sim::Virtual_Controller> sim;
    std::unique_ptr<MainWindow> window;
    int dialog_runs = 0;
    QList<QPair<QString, bool>> focus;
};

void Main_Window::init()
{
    answers.reset(new Prompt_Answers);
    sim.reset(new Sim::Virtual_Controller);
    QVERIFY(sim->start());
    window.reset(new MainWindow);
    dialog_runs = 0;
    window->Set_Port_Dialog_Runner([this](COM_Setup*) {
        ++dialog_runs;
        return int(QDialog::Rejected);
    });
    focus.clear();
    COM_Display_Interface::Set_Focus_Observer([this](COM_Display_Interface* tab, bool has) {
        focus.append({QString::fromLatin1(tab->metaObject()->className()), has});
    });
    window->show();
}

void Main_Window::cleanup()
{
    COM_Display_Interface::Set_Focus_Observer(nullptr);
    window.reset();
    sim.reset();
    answers.reset();
}

void Main_Window::open()
{
    window->Open_Port(QString::fromStdString(sim->device_path()));
    QVERIFY(window->Worker());
}

void Main_Window::tabs_shown_after_first_answer()
{
    open();
    QVERIFY(!window->Display_Tabs()->isVisible());
    QVERIFY(!window->Control_Tabs()->isVisible());
    QTRY_VERIFY(window->Display_Tabs()->isVisible());
    QVERIFY(window->Control_Tabs()->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("Pelmar Vantor"));
    QCOMPARE(window->Display_Tabs()->tabText(1), QStringLiteral("Fault"));
    QCOMPARE(window->Control_Tabs()->tabText(2), QStringLiteral("Maintenance"));
}

void Main_Window::focus_follows_the_tabs()
{
    open();
    using F = QList<QPair<QString, bool>>;
    QCOMPARE(focus, F({{"ManualCtrl", true}, {"MainDisplay", true}, {"IODisplay", true}}));

    focus.clear();
    window->Display_Tabs()->setCurrentIndex(1);
    QCOMPARE(focus, F({{"MainDisplay", false}, {"IODisplay", false}, {"ErrorsDisplay", true}}));
    focus.clear();
    window->Display_Tabs()->setCurrentIndex(0);
    QCOMPARE(focus, F({{"ErrorsDisplay", false}, {"MainDisplay", true}, {"IODisplay", true}}));
    focus.clear();
    window->Control_Tabs()->setCurrentIndex(2);
    QCOMPARE(focus, F({{"ManualCtrl", false}, {"MaintCtrl", true}}));
}

void Main_Window::fault_words_polled_every_two_seconds()
{
    open();
    // The first request goes out as the worker starts, on any tab.
    QTRY_VERIFY(sim->request_count("get FM1") >= 1u);
    QCOMPARE(window->Display_Tabs()->currentIndex(), 0);
    // The three are served in rotation, whichever comes first.
    QTRY_VERIFY_WITH_TIMEOUT(sim->request_count("get FM1") >= 3u &&
                                 sim->request_count("get FM2") >= 3u &&
                                 sim->request_count("get FM3") >= 3u,
                             10000);
}

void Main_Window::timeout_retry_yes_resumes()
{
    open();
    QTRY_VERIFY(window->Display_Tabs()->isVisible());
    sim->clear_statistics();
    sim->set_silent_commands({"get FM1"});
    int timeouts = 0;
    Set_User_Prompt_Handler([&](const User_Prompt& prompt) {
        if (prompt.title == QLatin1String("COM Timeout")) {
            ++timeouts;
            // Asked while the worker is suspended: nothing goes out meanwhile.
            // A request written just before may still be reaching the controller.
            QTest::qWait(100);
            const unsigned sent = sim->total_requests();
            QTest::qWait(200);
            if (sim->total_requests() != sent)
                timeouts = -100;
            sim->set_silent_commands({});
            return QMessageBox::Yes;
        }
        return QMessageBox::Ok;
    });
    QTRY_COMPARE_WITH_TIMEOUT(timeouts, 1, 10000);
    QCOMPARE(sim->request_count("get FM1"), 6u);
    // Only the item that timed out is sent again, and the worker goes on.
    QTRY_VERIFY(sim->request_count("get FM1") >= 7u);
    QVERIFY(window->Worker());
    QVERIFY(window->Display_Tabs()->isVisible());
    QCOMPARE(dialog_runs, 0);
}

void Main_Window::timeout_retry_no_returns_to_port_dialog()
{
    open();
    QTRY_VERIFY(window->Display_Tabs()->isVisible());
    sim->set_all_silent(true);
    answers->answer_next(QMessageBox::No);
    QTRY_COMPARE_WITH_TIMEOUT(dialog_runs, 1, 10000);
    QCOMPARE(answers->asked.first().title, QStringLiteral("COM Timeout"));
    QCOMPARE(answers->asked.first().text, QStringLiteral("Communication failed.  Retry?"));
    QCOMPARE(answers->asked.first().default_button, QMessageBox::Yes);
    QVERIFY(!window->Worker());
    QVERIFY(!window->Display_Tabs()->isVisible());
    // The port dialog was left without a port: the program ends, not asking again.
    QCOMPARE(answers->asked.size(), 1);
    QVERIFY(!window->isVisible());
}

void Main_Window::hang_up_reports_com_error()
{
    open();
    QTRY_VERIFY(window->Display_Tabs()->isVisible());
    sim->hang_up();
    QTRY_COMPARE(dialog_runs, 1);
    QCOMPARE(answers->asked.first().title, QStringLiteral("COM error"));
    QVERIFY2(Is_Serial_Error_Text(answers->asked.first().text),
             qPrintable(answers->asked.first().text));
    QTRY_VERIFY(!window->Worker());
    QVERIFY(!window->Display_Tabs()->isVisible());
}

void Main_Window::exit_without_a_port()
{
    QVERIFY(window->close());
    QVERIFY(answers->asked.isEmpty());
}

void Main_Window::exit_with_a_port_asks()
{
    open();
    answers->answer_next(QMessageBox::No);
    QVERIFY(!window->close());
    QCOMPARE(answers->asked.size(), 1);
    QCOMPARE(answers->asked[0].title, QStringLiteral("Closing Pelmar Interface"));
    QCOMPARE(answers->asked[0].text,
             QStringLiteral("Are you sure you want to exit Pelmar Interface?"));
    QCOMPARE(answers->asked[0].default_button, QMessageBox::No);
    QVERIFY(window->Worker());

    answers->answer_next(QMessageBox::Yes);
    QVERIFY(window->close());
    QVERIFY(!window->Worker());
    QVERIFY(!window->Display_Tabs()->isVisible());
}

void Main_Window::leaving_the_port_dialog_at_start_ends_the_program()
{
    window->Open_COM_Dialog();
    QCOMPARE(dialog_runs, 1);
    QVERIFY(!window->isVisible());
    QVERIFY(answers->asked.isEmpty());
    QVERIFY(!window->Worker());
}

VANTOR_TEST_MAIN(Main_Window)
#include "tst_main_window.moc"
