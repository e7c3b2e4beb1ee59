// The maintenance tab against the virtual controller: the counters, their
// reset-code exchange with its history, and the compressor test; and the
// settings tab's controller mode.

#include "app_test_main.h"
#include "queued_spy.h"
#include "test_responses.h"
#include "worker_rig.h"

#include "tabs/fault_counts_class.h"
#include "tabs/maint_ctrl.h"
#include "tabs/misc_ctrl.h"

#include <QLCDNumber>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>

#include <algorithm>
#include <chrono>
#include <memory>

using namespace Quillon;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(QMessageBox::StandardButton)

namespace {

struct Counter // in the order of the history's series
{
    const char* button;
    const char* lcd;
    Sim::Counter sim;
    std::string code; // the reset exchange's command
    std::string read;
};
const Counter Counters[] = {
    {"btnOnTimeReset", "lcdOnTime", Sim::Counter::On_Time, "ALR", "get IGT"},
    {"btnCompressorTimeReset", "lcdCompressorTime", Sim::Counter::Compressor_Time, "ALG",
     "get CPT"},
    {"btnCompOverheatReset", "lcdCompOverheat", Sim::Counter::Overheat, "ALO", "get OTC"},
};

// How a compressor test ends.
enum Cut
{
    Finish,        // by the controller's verdict or the time limit
    Retry,         // the start ran out of resends, retried at "COM Timeout"
    Give_Up_Start, // the start ran out of resends, connection given up
    Verdict,       // the start answered with a verdict instead of "<OK>"
    Hang_Up,       // while running: a serial error
    Give_Up,       // while running: the connection given up at "COM Timeout"
    Other_Worker,  // while running: connected to another controller
};

} // namespace

class Maint_Ctrl : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void reset_exchange_data();
    void reset_exchange();
    void compressor_test_data();
    void compressor_test();
    void misc_mode_round_trip();

private:
    QPushButton* button(const QString& name) const { return maint->findChild<QPushButton*>(name); }
    int shown(const QString& lcd) const { return maint->findChild<QLCDNumber*>(lcd)->intValue(); }
    int enabled_reset_buttons() const;

    std::unique_ptr<Prompt_Answers> answers;
    std::unique_ptr<Worker_Rig> rig;
    std::unique_ptr<MaintCtrl> maint;
    std::unique_ptr<MiscCtrl> misc;
    QList<bool> running; // what CompTest said
};

void Maint_Ctrl::init()
{
    answers.reset(new Prompt_Answers);
    rig.reset(new Worker_Rig);
    START_RIG(*rig);
    maint.reset(new MaintCtrl);
    maint->COM_Connect(rig->worker);
    running.clear();
    connect(maint.get(), &MaintCtrl::CompTest, this, [this](bool on) { running << on; });
}

void Maint_Ctrl::cleanup()
{
    rig->stop(); // before the items the worker may still list
    maint.reset();
    misc.reset();
    answers.reset();
    QDir(Fault_Counts_Class::Directory()).removeRecursively();
}

int Maint_Ctrl::enabled_reset_buttons() const
{
    int enabled = 0;
    for (const Counter& counter : Counters)
        enabled += button(counter.button)->isEnabled();
    return enabled;
}

void Maint_Ctrl::reset_exchange_data()
{
    QTest::addColumn<int>("series");
    QTest::addColumn<int>("before");
    QTest::addColumn<QString>("history"); // what stands in the file's place
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<QString>("silent");
    const auto Ok = QMessageBox::Ok;
    QTest::newRow("on time") << 0 << 321 << "" << Ok << "";
    QTest::newRow("compressor time, above 32767") << 1 << 40000 << "" << Ok << "";
    QTest::newRow("overheat count") << 2 << 7 << "" << Ok << "";
    QTest::newRow("unsaved, reset confirmed") << 2 << 9 << "folder" << QMessageBox::Yes << "";
    QTest::newRow("unsaved, reset declined") << 2 << 9 << "folder" << QMessageBox::No << "";
    QTest::newRow("unreadable, set aside") << 2 << 9 << "unreadable" << Ok << "";
    QTest::newRow("code unanswered, retried") << 1 << 55 << "" << Ok << "get ALG";
    QTest::newRow("reset unanswered, retried") << 1 << 55 << "" << Ok << "set ALG";
    QTest::newRow("serial error") << 1 << 55 << "" << Ok << "hang-up";
}

void Maint_Ctrl::reset_exchange()
{
    QFETCH(int, series);
    QFETCH(int, before);
    QFETCH(QString, history);
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(QString, silent);
    const Counter& counter = Counters[series];
    const QString path = Fault_Counts_Class::Directory() + QStringLiteral("/parameters.ini");
    if (!history.isEmpty()) {
        // A folder where the file should be, or a file that is not a history,
        // found by a new tab.
        maint.reset();
        QVERIFY(QFile::remove(path));
        QFile file(path);
        QVERIFY(history == "folder" ? QDir().mkpath(path)
                                    : file.open(QIODevice::WriteOnly) && file.write("\x01=\n["));
        file.close();
        maint.reset(new MaintCtrl);
        maint->COM_Connect(rig->worker);
    }
    rig->sim.set_counter(counter.sim, unsigned(before));
    maint->Has_Focus();
    QTRY_COMPARE(shown(counter.lcd), before);
    const fc_map_type recorded = maint->Counter_History()->Series(series);
    const bool hang_up = silent == "hang-up";
    const std::string key = hang_up ? "set " + counter.code : silent.toStdString();
    if (!key.empty())
        rig->sim.set_silent_commands({key});
    answers->answer_next(answer);
    button(counter.button)->click();

    QCOMPARE(answers->asked.size(), history.isEmpty() ? 0 : 1);
    if (!history.isEmpty()) {
        // The file, and the system's reason or the copy kept of it.
        const User_Prompt& box = answers->asked.first();
        QCOMPARE(box.title, QStringLiteral("Counter History"));
        QVERIFY2(box.text.contains(path) &&
                     box.text.contains(QRegularExpression(
                         history == "folder" ? ":\n.+\n\n" : "\\.unreadable-\\d{8}-")),
                 qPrintable(box.text));
        QCOMPARE(box.default_button, history == "folder" ? QMessageBox::No : QMessageBox::NoButton);
    }
    if (answer == QMessageBox::No) {
        // Nothing is sent, nothing recorded.
        QCOMPARE(enabled_reset_buttons(), 3);
        QTest::qWait(200);
        QCOMPARE(rig->sim.request_count("get " + counter.code), 0u);
        QCOMPARE(maint->Counter_History()->Series(series), recorded);
        return;
    }
    QCOMPARE(enabled_reset_buttons(), 0);
    if (!silent.isEmpty()) {
        if (hang_up) {
            QTRY_VERIFY(rig->sim.request_count(key) >= 1u);
            rig->sim.hang_up();
        }
        // The buttons come back when the exchange ends unanswered; after a
        // serial error at once, not after the resends.
        QTRY_COMPARE_WITH_TIMEOUT(enabled_reset_buttons(), 3, 10000);
        QCOMPARE(rig->sim.request_count(key) < 6u, hang_up);
        if (hang_up)
            return;
        QCOMPARE(rig->sim.readings().counters[size_t(counter.sim)], unsigned(before));
        // The main window's retry schedules the item that ran out of retries again.
        rig->sim.set_silent_commands({});
        rig->worker->TX_Scheduler->Schedule_Item(key[0] == 'g' ? maint->Reset_Code_Item()
                                                               : maint->Reset_Confirm_Item());
        QCOMPARE(enabled_reset_buttons(), 0);
    }
    // The controller zeroes the counter only for the code its challenge asks for.
    QTRY_COMPARE(rig->sim.readings().counters[size_t(counter.sim)], 0u);
    QTRY_COMPARE(shown(counter.lcd), 0);
    QTRY_COMPARE(enabled_reset_buttons(), 3);
    QCOMPARE(rig->sim.request_count("get " + counter.code), key[0] == 'g' ? 7u : 1u);
    QCOMPARE(rig->sim.request_count("set " + counter.code), key[0] == 's' ? 7u : 1u);
    QCOMPARE(rig->sim.request_count(counter.read), 2u);
    QCOMPARE(int(maint->Counter_History()->Series(series).last()), before);
    if (history == "folder")
        return;
    // The value before the reset is the latest of its series, in the file too.
    Fault_Counts_Class stored(QStringLiteral("parameters.ini"), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(maint->Counter_History()->Series(i), stored.Series(i));
        QCOMPARE(stored.Series(i).last() == before, i == series);
    }
}

void Maint_Ctrl::compressor_test_data()
{
    QTest::addColumn<QByteArray>("verdict");
    QTest::addColumn<int>("after"); // ms after the "<OK>"
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("cut");
    QTest::addColumn<QString>("message");
    const QString limit = "^Compressor Test exceeded time limit of 2 minutes 22 seconds$";
    const QString timed_out = QStringLiteral("^Compressor Test command timed out$");
    const QByteArray done("<TEST DONE>");
    // Only failures name the unit.
    QTest::newRow("done") << done << 200 << 3000 << int(Finish)
                          << "^Test Succeeded\\.\nTime elapsed was \\d+:\\d\\d\\.\\d{3}$";
    QTest::newRow("lower case, ignored")
        << QByteArray("<fail 2>") << 200 << 3000 << int(Finish) << limit;
    QTest::newRow("after the limit, ignored")
        << QByteArray("<FAIL 1>") << 3000 << 300 << int(Finish) << limit;
    QTest::newRow("start retried at COM Timeout")
        << done << 200 << 3000 << int(Retry) << "^Test Succeeded\\.";
    QTest::newRow("start given up at COM Timeout")
        << done << 200 << 3000 << int(Give_Up_Start) << timed_out;
    // Timed from the click, at least the 300 ms before the verdict.
    QTest::newRow("start answered with a verdict")
        << done << 200 << 3000 << int(Verdict)
        << "^Unable to charge reservoir in the necessary time frame\\.\n"
           "Time elapsed was 0:0(0\\.[3-9]\\d\\d|[1-9]\\.\\d{3}) seconds$";
    QTest::newRow("running, serial error") << done << 60000 << 3000 << int(Hang_Up) << timed_out;
    QTest::newRow("running, given up at COM Timeout")
        << done << 60000 << 3000 << int(Give_Up) << timed_out;
    QTest::newRow("running, another controller")
        << done << 60000 << 3000 << int(Other_Worker) << timed_out;
}

void Maint_Ctrl::compressor_test()
{
    QFETCH(QByteArray, verdict);
    QFETCH(int, after);
    QFETCH(int, limit);
    QFETCH(int, cut);
    QFETCH(QString, message);
    Worker_Rig other;
    Queued_Spy packets(rig->resource, &COM_Resource::Rx_Packet);
    const auto verdict_seen = [&] {
        return std::any_of(packets.calls.begin(), packets.calls.end(), [&](const QVariantList& c) {
            return QByteArray(c.at(0).value<Packet_Shared_Ptr>()->getData()) == verdict;
        });
    };
    // What the main window does when the start request runs out of resends.
    connect(
        rig->resource, &COM_Resource::Item_Disconnected, maint.get(),
        [this, cut](Disconnect_Enum, TX_Scheduler_Item_Class* item) {
            rig->sim.set_silent_commands({});
            if (cut == Retry)
                rig->worker->TX_Scheduler->Schedule_Item(item);
            else if (cut == Give_Up_Start)
                maint->COM_Disconnect();
        },
        Qt::QueuedConnection);
    const bool starting = cut == Retry || cut == Give_Up_Start || cut == Verdict;
    if (starting)
        rig->sim.set_silent_commands({"go CTS"});
    QVERIFY(rig->sim.set_test_verdict(verdict.toStdString()));
    rig->sim.set_test_duration(std::chrono::milliseconds(after));
    maint->Set_Time_Limit_Wait(limit);

    button("btnCompTest")->click();
    QVERIFY(!button("btnCompTest")->isEnabled());
    if (cut == Verdict) {
        QTest::qWait(300);
        maint->Rx_CompTestProgress(response("<FAIL 3>"));
    }
    if (cut >= Hang_Up) {
        QTRY_VERIFY(rig->sim.readings().mode == Sim::Mode::Compressor_Test);
        QTest::qWait(50); // the "<OK>" reaches the tab
        if (cut == Hang_Up)
            rig->sim.hang_up();
        if (cut == Give_Up)
            maint->COM_Disconnect();
        if (cut == Other_Worker) {
            QVERIFY(other.start());
            maint->COM_Connect(other.worker);
        }
    }
    QTRY_COMPARE_WITH_TIMEOUT(answers->asked.size(), 1, 10000);
    const User_Prompt& box = answers->asked.first();
    QVERIFY2(QRegularExpression(message).match(box.text).hasMatch(), qPrintable(box.text));
    const bool success = box.text.startsWith("Test Succeeded.");
    QCOMPARE(box.icon, success ? QMessageBox::Information : QMessageBox::Critical);
    QCOMPARE(box.title, success ? QStringLiteral("Compressor Test Success")
                                : QStringLiteral("Compressor Test Failure"));
    QVERIFY(button("btnCompTest")->isEnabled());
    // A start is given up after its last resend, not at each unanswered one;
    // a verdict or a start not taken changes nothing when it ends.
    if (starting)
        QTRY_COMPARE_WITH_TIMEOUT(rig->sim.request_count("go CTS"), cut == Retry ? 7u : 6u, 10000);
    if (cut == Finish)
        QTRY_VERIFY_WITH_TIMEOUT(verdict_seen(), 10000);
    QTest::qWait(100);
    QCOMPARE(answers->asked.size(), 1);
    // One test throughout, the other tabs locked until its one verdict.
    QCOMPARE(running, (QList<bool>{true, false}));
}

// The settings tab: reading and writing the controller mode, whose wire
// digit is the inverse of the mode.
void Maint_Ctrl::misc_mode_round_trip()
{
    misc.reset(new MiscCtrl);
    misc->COM_Connect(rig->worker);
    auto ambulance = misc->findChild<QRadioButton*>("rbAmbulanceMode");
    auto tow_haul = misc->findChild<QRadioButton*>("rbTowerHaulerMode");
    auto save = misc->findChild<QPushButton*>("btnSaveSettings");
    const auto read_mode = [&] {
        misc->Lost_Focus();
        misc->Has_Focus();
        return QTest::qWaitFor([&] { return ambulance->isEnabled() && !save->isEnabled(); });
    };

    // The controller starts with bypass-disable digit 0: ambulance mode.
    QVERIFY(read_mode() && ambulance->isChecked());
    tow_haul->click();
    QVERIFY(save->isEnabled());
    save->click();
    QVERIFY(!ambulance->isEnabled() && !tow_haul->isEnabled() && !save->isEnabled());
    QTRY_VERIFY(rig->sim.readings().bypass_digit);
    QTRY_VERIFY(tow_haul->isEnabled());
    QVERIFY(tow_haul->isChecked() && misc->Tow_Haul_Mode() && !save->isEnabled());

    // An unanswered write keeps the controls until the next answer; even an
    // invalid one frees them, keeping the selection.
    rig->sim.set_silent_commands({"set BPD"});
    ambulance->click();
    save->click();
    QTRY_COMPARE_WITH_TIMEOUT(rig->sim.request_count("set BPD"), 7u, 10000);
    QVERIFY(!ambulance->isEnabled() && !tow_haul->isEnabled());
    misc->Rx_BypassDisable(Packet_Shared_Ptr(new Packet_Resp_BPD));
    QVERIFY(ambulance->isChecked() && tow_haul->isEnabled() && save->isEnabled());
    // Coming back reads the mode again and discards the unsaved selection.
    rig->sim.set_silent_commands({});
    QVERIFY(read_mode() && tow_haul->isChecked());
}

VANTOR_TEST_MAIN(Maint_Ctrl)
#include "tst_maint_ctrl.moc"
