// The main window against the virtual controller: start-up, the focus
// bookkeeping, the controller's identity, the fault word polling, its size
// and its version; a lost line, a time-out given up and new connections on
// the same port end only the connection they belong to; and a tab that loses
// and regains the focus quickly keeps its requests on the line.

#include "app_test_main.h"
#include "queued_spy.h"
#include "serial_error_text.h"
#include "worker_rig.h"

#include "build_info.h"
#include "main_window.h"
#include "tabs/com_display_interface.h"

#include <virtual_controller.h>

#include <QAction>
#include <QMessageBox>
#include <QScrollArea>
#include <QTabWidget>

#include <memory>

using namespace Quillon;

class Main_Window : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void focus_follows_the_tabs();
    void identity_read_once_whatever_tab();
    void fault_words_polled_and_retried();
    void leaving_the_port_dialog_at_start_ends_the_program();
    void every_tab_fits_a_laptop_screen();
    void about_box_shows_the_version();
    void one_error_box_for_one_lost_line();
    void focus_back_keeps_the_items_data();
    void focus_back_keeps_the_items();

private:
    void open();

    std::unique_ptr<Prompt_Answers> answers;
    std::unique_ptr<Sim::Virtual_Controller> sim;
    std::unique_ptr<MainWindow> window;
    int dialog_runs = 0;
    // Has_Focus (+) and Lost_Focus (-) of the tabs, by class, in order.
    QStringList focus;
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
        focus << QString::fromLatin1(tab->metaObject()->className()) + (has ? '+' : '-');
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

void Main_Window::focus_follows_the_tabs()
{
    open();
    QCOMPARE(focus.join(' '), QStringLiteral("ManualCtrl+ MainDisplay+ IODisplay+"));
    const auto select = [this](QTabWidget* tabs, int index) {
        focus.clear();
        tabs->setCurrentIndex(index);
        return focus.join(' ');
    };
    QCOMPARE(select(window->Display_Tabs(), 1), "MainDisplay- IODisplay- ErrorsDisplay+");
    QCOMPARE(select(window->Display_Tabs(), 0), "ErrorsDisplay- MainDisplay+ IODisplay+");
    QCOMPARE(select(window->Control_Tabs(), 2), "ManualCtrl- MaintCtrl+");
}

// The controller's serial number and firmware, read once when a port opens.
void Main_Window::identity_read_once_whatever_tab()
{
    open();
    QTRY_VERIFY(sim->request_count("get REV") > 0);
    // The main tab keeps polling meanwhile; the identity is not read again.
    const unsigned polled = sim->total_requests();
    QTRY_VERIFY(sim->total_requests() > polled + 20);
    for (const char* code : {"SN1", "SN2", "SN3", "SN4", "PRT", "REV"})
        QCOMPARE(sim->request_count(std::string("get ") + code), 1u);
    QVERIFY(answers->asked.isEmpty());
}

void Main_Window::fault_words_polled_and_retried()
{
    open();
    // The first request goes out as the worker starts, whichever tab is shown.
    QTRY_VERIFY(sim->request_count("get FM1") >= 1u);
    QTRY_VERIFY(window->Display_Tabs()->isVisible());
    sim->clear_statistics();
    sim->set_silent_commands({"get FM1"});
    int timeouts = 0;
    unsigned sent_when_asked = 0;
    Set_User_Prompt_Handler([&](const User_Prompt& prompt) {
        // Asked while the worker is suspended.
        const bool suspended = window->Worker()->Is_Suspended();
        timeouts += prompt.title == QLatin1String("COM Timeout") && suspended ? 1 : -100;
        sent_when_asked = sim->request_count("get FM1");
        sim->set_silent_commands({});
        return QMessageBox::Yes;
    });
    QTRY_COMPARE_WITH_TIMEOUT(timeouts, 1, 10000);
    QCOMPARE(sent_when_asked, 6u);
    // Retry sends only the item that timed out again, and the polling goes
    // on: the three words every two seconds, in rotation.
    QTRY_VERIFY_WITH_TIMEOUT(sim->request_count("get FM1") >= 7u &&
                                 sim->request_count("get FM2") >= 3u &&
                                 sim->request_count("get FM3") >= 3u,
                             10000);
    QCOMPARE(dialog_runs, 0);
}

void Main_Window::leaving_the_port_dialog_at_start_ends_the_program()
{
    window->Open_COM_Dialog();
    QVERIFY(!window->isVisible());
    QVERIFY(answers->asked.isEmpty());
}

void Main_Window::every_tab_fits_a_laptop_screen()
{
    window->Rx_Make_Visible();
    window->resize(1366, 700);
    QCOMPARE(window->size(), QSize(1366, 700));
    auto scroller = window->findChild<QScrollArea*>();
    QVERIFY(scroller);
    for (QTabWidget* tabs : {window->Display_Tabs(), window->Control_Tabs()}) {
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            // Every widget of the page can be scrolled into full view.
            for (QWidget* w : tabs->widget(i)->findChildren<QWidget*>()) {
                if (!w->isVisible() || !w->findChildren<QWidget*>().isEmpty())
                    continue;
                scroller->ensureWidgetVisible(w, 0, 0);
                const QRect shown(w->mapTo(scroller->viewport(), QPoint()), w->size());
                QVERIFY2(scroller->viewport()->rect().contains(shown),
                         qPrintable(tabs->tabText(i) + QLatin1Char(' ') + w->objectName()));
            }
        }
    }
}

// Reads a message box as it is shown and closes it: a box runs its own loop,
// or returns at once when an earlier case has asked the application to quit.
class Box_Reader : public QObject
{
public:
    QString text;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto box = qobject_cast<QMessageBox*>(watched);
        if (box && event->type() == QEvent::Show) {
            text = box->text();
            QMetaObject::invokeMethod(box, "accept", Qt::QueuedConnection);
        }
        return false;
    }
};

// The version set once for the build: the box, --version and the package agree.
void Main_Window::about_box_shows_the_version()
{
    Box_Reader reader;
    qApp->installEventFilter(&reader);
    auto about = window->findChild<QAction*>(QStringLiteral("action_About"));
    QVERIFY(about);
    about->trigger();
    qApp->removeEventFilter(&reader);
    QVERIFY2(reader.text.contains(QStringLiteral(" version " VANTOR_FULL_VERSION "<br>")),
             qPrintable(reader.text));
}

void Main_Window::one_error_box_for_one_lost_line()
{
    // Each time the port dialog comes up, the controller is plugged in again
    // and the same resource opens its line; the third time it is left.
    window->Set_Port_Dialog_Runner([this](COM_Setup* dialog) {
        if (++dialog_runs > 2 || (!sim->is_serving() && !sim->start()))
            return int(QDialog::Rejected);
        sim->set_all_silent(false);
        QString device = QString::fromStdString(sim->device_path()), error;
        const bool opened = dialog->Open_Resource->OpenComPort(&device, error);
        return int(opened ? QDialog::Accepted : QDialog::Rejected);
    });
    open();
    // Only the menu bar until the controller first answers.
    QVERIFY(!window->Display_Tabs()->isVisible());
    QTRY_VERIFY(window->Display_Tabs()->isVisible());

    // The adapter is pulled out: one box, and the port dialog.
    sim->hang_up();
    QTRY_COMPARE(dialog_runs, 1);
    QTRY_VERIFY(window->Display_Tabs()->isVisible());

    // A time-out given up stops that worker in order: no error of its own.
    sim->set_all_silent(true);
    answers->answer_next(QMessageBox::No);
    QTRY_COMPARE_WITH_TIMEOUT(dialog_runs, 2, 10000);
    COM_485_Class* const last = window->Worker();
    QVERIFY(last);
    QTRY_VERIFY(window->Display_Tabs()->isVisible());

    // The last connection stays up and serves the line.
    sim->clear_statistics();
    QTRY_VERIFY(sim->total_requests() >= 20);
    QCOMPARE(window->Worker(), last);
    QVERIFY(!last->Is_Shutdown());
    QCOMPARE(dialog_runs, 2);

    // Leaving asks first; declined, nothing changes, and leaving stops the
    // connection in order as well.
    answers->answer_next(QMessageBox::No);
    QVERIFY(!window->close());
    QCOMPARE(window->Worker(), last);
    QCOMPARE(answers->asked.last().text,
             QStringLiteral("Are you sure you want to exit Pelmar Interface?"));
    QCOMPARE(answers->asked.last().default_button, QMessageBox::No);
    answers->answer_next(QMessageBox::Yes);
    QVERIFY(window->close());
    QVERIFY(!window->Worker());
    QTest::qWait(100);
    QStringList titles;
    for (const User_Prompt& prompt : qAsConst(answers->asked))
        titles << prompt.title;
    QCOMPARE(
        titles.join('|'),
        QStringLiteral("COM error|COM Timeout|Closing Pelmar Interface|Closing Pelmar Interface"));
    QVERIFY2(Is_Serial_Error_Text(answers->asked[0].text), qPrintable(answers->asked[0].text));
    QCOMPARE(answers->asked[1].text, QStringLiteral("Communication failed.  Retry?"));
    QCOMPARE(answers->asked[1].default_button, QMessageBox::Yes);
    QCOMPARE(dialog_runs, 2);
}

namespace {
class Probe_Tab : public COM_Display_Interface
{
public:
    void init_periodic_items() override {}
};
} // namespace

void Main_Window::focus_back_keeps_the_items_data()
{
    QTest::addColumn<bool>("one_shot");
    QTest::newRow("one-shot item") << true;
    QTest::newRow("periodic item") << false;
}

// The tab loses the focus and gets it back before the transmit pass has
// dropped its item: the item is kept and served.
void Main_Window::focus_back_keeps_the_items()
{
    QFETCH(bool, one_shot);
    Worker_Rig rig;
    START_RIG(rig);
    Probe_Tab tab;
    TX_Scheduler_Item_Class* item;
    if (one_shot) {
        Packet_Shared_Ptr request(new Packet_Get_DSA);
        request->AllocateData();
        item = &rig.keep(new TX_Sched_Item_Send_Once_Class(request));
        tab.Add_One_Shot_Item(item);
    } else {
        auto& periodic = rig.repeating(new Packet_Get_DSA);
        tab.Add_Periodic_Item(&periodic);
        item = &periodic;
    }
    Queued_Spy& answered = rig.keep(new Queued_Spy(item, &TX_Scheduler_Item_Class::Rx));
    tab.COM_Connect(rig.worker);

    // The list holds still while the focus goes and comes back.
    rig.worker->setSuspend();
    rig.worker->waitForSuspend();
    tab.Has_Focus();
    tab.Lost_Focus();
    tab.Has_Focus();
    rig.worker->Resume();
    QTRY_VERIFY(answered.count() >= (one_shot ? 1 : 3));
    QCOMPARE(item->Is_Scheduled(), !one_shot);
    tab.COM_Disconnect();
}

VANTOR_TEST_MAIN(Main_Window)
#include "tst_main_window.moc"
