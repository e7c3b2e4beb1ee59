// The maintenance tab against the virtual controller: the counters, their
// reset-code exchange with its history, and the compressor test.

#include "app_test_main.h"
#include "queued_spy.h"
#include "test_responses.h"
#include "worker_rig.h"

#include "fault_counts_class.h"
#include "maint_ctrl.h"

#include <QElapsedTimer>
#include <QLCDNumber>
#include <QPushButton>
#include <QRegularExpression>

#include <algorithm>
#include <chrono>
#include <memory>

using namespace Quillon;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(Sim::Counter)
Q_DECLARE_METATYPE(QMessageBox::Icon)
Q_DECLARE_METATYPE(QMessageBox::StandardButton)

namespace {
const QString Failure = QStringLiteral("Compressor Test Failure");
const QString Timed_Out = QStringLiteral("Compressor Test command timed out");
const QString Limit = QStringLiteral("Compressor Test exceeded time limit of 2 minutes 22 seconds");
} // namespace

class Maint_Ctrl : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void focus_reads_the_counters();
    void reset_exchange_data();
    void reset_exchange();
    void reset_with_a_history_problem_data();
    void reset_with_a_history_problem();
    void unanswered_reset_frees_the_buttons_data();
    void unanswered_reset_frees_the_buttons();

    void verdicts_data();
    void verdicts();
    void ignored_verdict_runs_into_the_time_limit_data();
    void ignored_verdict_runs_into_the_time_limit();
    void unanswered_start_data();
    void unanswered_start();
    void lost_connection_ends_the_test_data();
    void lost_connection_ends_the_test();
    void start_answered_with_a_verdict();

private:
    void new_tab();
    QPushButton* button(const char* name) const
    {
        return maint->findChild<QPushButton*>(QLatin1String(name));
    }
    int shown(const QString& lcd) const { return maint->findChild<QLCDNumber*>(lcd)->intValue(); }
    int enabled_reset_buttons() const;
    QList<bool> running() const;
    QStringList texts() const;
    bool received(const Queued_Spy& spy, const QByteArray& system_text) const;

    std::unique_ptr<Prompt_Answers> answers;
    std::unique_ptr<Worker_Rig> rig;
    std::unique_ptr<MaintCtrl> maint;
    std::unique_ptr<QSignalSpy> test_running;
};

void Maint_Ctrl::init()
{
    answers.reset(new Prompt_Answers);
    rig.reset(new Worker_Rig);
    QString error;
    QVERIFY2(rig->start(&error), qPrintable(error));
    new_tab();
}

void Maint_Ctrl::cleanup()
{
    // The worker must be gone before the items it may still list.
    rig->stop();
    test_running.reset();
    maint.reset();
    rig.reset();
    answers.reset();
    QDir(Fault_Counts_Class::Directory()).removeRecursively();
}

void Maint_Ctrl::new_tab()
{
    test_running.reset();
    maint.reset(new MaintCtrl);
    maint->COM_Connect(rig->worker);
    test_running.reset(new QSignalSpy(maint.get(), &MaintCtrl::CompTest));
}

int Maint_Ctrl::enabled_reset_buttons() const
{
    return int(button("btnCompressorTimeReset")->isEnabled()) +
           button("btnOnTimeReset")->isEnabled() + button("btnCompOverheatReset")->isEnabled();
}

QList<bool> Maint_Ctrl::running() const
{
    QList<bool> calls;
    for (const QVariantList& call : *test_running)
        calls << call.at(0).toBool();
    return calls;
}

QStringList Maint_Ctrl::texts() const
{
    QStringList shown;
    for (const User_Prompt& prompt : answers->asked)
        shown << prompt.text;
    return shown;
}

bool Maint_Ctrl::received(const Queued_Spy& spy, const QByteArray& system_text) const
{
    return std::any_of(spy.calls.begin(), spy.calls.end(), [&](const QVariantList& call) {
        const auto packet = call.at(0).value<Packet_Shared_Ptr>();
        return packet->ID() == Packet_Resp_System::packet_type &&
               QByteArray(packet->getData()) == system_text;
    });
}

void Maint_Ctrl::focus_reads_the_counters()
{
    rig->sim.set_counter(Sim::Counter::On_Time, 123);
    rig->sim.set_counter(Sim::Counter::Overheat, 7);
    maint->Has_Focus();
    QTRY_COMPARE(shown("lcdOnTime"), 123);
    QTRY_COMPARE(shown("lcdCompOverheat"), 7);

    rig->sim.set_counter(Sim::Counter::Overheat, 8);
    maint->Lost_Focus();
    maint->Has_Focus();
    QTRY_COMPARE(shown("lcdCompOverheat"), 8);
    for (const char* key : {"get IGT", "get CPT", "get OTC"})
        QCOMPARE(rig->sim.request_count(key), 2u);
    // A focus change sends neither a reset nor a test.
    for (const char* key : {"get ALG", "get ALR", "get ALO", "go CTS"})
        QCOMPARE(rig->sim.request_count(key), 0u);
}

void Maint_Ctrl::reset_exchange_data()
{
    QTest::addColumn<QString>("reset_button");
    QTest::addColumn<QString>("lcd");
    QTest::addColumn<Sim::Counter>("counter");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("read");
    QTest::addColumn<int>("series");
    QTest::addColumn<int>("before");
    QTest::newRow("on time") << "btnOnTimeReset"
                             << "lcdOnTime" << Sim::Counter::On_Time << "ALR"
                             << "get IGT" << 0 << 321;
    // The counters are unsigned: 40000 hours stay 40000.
    QTest::newRow("compressor time")
        << "btnCompressorTimeReset"
        << "lcdCompressorTime" << Sim::Counter::Compressor_Time << "ALG"
        << "get CPT" << 1 << 40000;
    QTest::newRow("overheat count") << "btnCompOverheatReset"
                                    << "lcdCompOverheat" << Sim::Counter::Overheat << "ALO"
                                    << "get OTC" << 2 << 7;
}

void Maint_Ctrl::reset_exchange()
{
    QFETCH(QString, reset_button);
    QFETCH(QString, lcd);
    QFETCH(Sim::Counter, counter);
    QFETCH(QString, code);
    QFETCH(QString, read);
    QFETCH(int, series);
    QFETCH(int, before);
    rig->sim.set_counter(counter, unsigned(before));
    maint->Has_Focus();
    QTRY_COMPARE(shown(lcd), before);
    QTRY_COMPARE(rig->sim.request_count(read.toStdString()), 1u);

    button(qPrintable(reset_button))->click();
    QCOMPARE(enabled_reset_buttons(), 0);
    // The controller zeroes the counter only for the code its challenge asks for.
    QTRY_COMPARE(rig->sim.readings().counters[size_t(counter)], 0u);
    QTRY_COMPARE(shown(lcd), 0);
    QCOMPARE(enabled_reset_buttons(), 3);
    QCOMPARE(rig->sim.request_count(("get " + code).toStdString()), 1u);
    QCOMPARE(rig->sim.request_count(("set " + code).toStdString()), 1u);
    QCOMPARE(rig->sim.request_count(read.toStdString()), 2u);

    // The value before the reset is the latest of its series, in the file too.
    Fault_Counts_Class stored(QStringLiteral("parameters.ini"), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(maint->Counter_History()->Series(i), stored.Series(i));
        QCOMPARE(stored.Series(i).last() == before, i == series);
    }
    QVERIFY(answers->asked.isEmpty());
}

void Maint_Ctrl::reset_with_a_history_problem_data()
{
    QTest::addColumn<bool>("unwritable"); // else unreadable
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<QMessageBox::Icon>("icon");
    QTest::addColumn<QString>("says");
    QTest::newRow("unsaved, reset confirmed")
        << true << QMessageBox::Yes << QMessageBox::Warning << "could not be saved";
    QTest::newRow("unsaved, reset declined")
        << true << QMessageBox::No << QMessageBox::Warning << "could not be saved";
    QTest::newRow("unreadable, set aside")
        << false << QMessageBox::Ok << QMessageBox::Information << ".unreadable-";
}

void Maint_Ctrl::reset_with_a_history_problem()
{
    QFETCH(bool, unwritable);
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(QMessageBox::Icon, icon);
    QFETCH(QString, says);
    // A folder where the file should be, or a file that is not a history.
    const QString path = Fault_Counts_Class::Directory() + QStringLiteral("/parameters.ini");
    QVERIFY(QDir(Fault_Counts_Class::Directory()).removeRecursively());
    QVERIFY(unwritable ? QDir().mkpath(path) : QDir().mkpath(Fault_Counts_Class::Directory()));
    QFile noise(path);
    QVERIFY(unwritable || (noise.open(QIODevice::WriteOnly) && noise.write("\x01\x02=\n[") == 5));
    noise.close();
    new_tab();

    rig->sim.set_counter(Sim::Counter::Overheat, 9);
    maint->Has_Focus();
    QTRY_COMPARE(shown("lcdCompOverheat"), 9);
    const fc_map_type before = maint->Counter_History()->Series(2);
    answers->answer_next(answer);
    button("btnCompOverheatReset")->click();
    QCOMPARE(answers->asked.size(), 1);
    const User_Prompt& box = answers->asked.first();
    QCOMPARE(box.icon, icon);
    QCOMPARE(box.title, QStringLiteral("Counter History"));
    QVERIFY2(box.text.contains(path) && box.text.contains(says), qPrintable(box.text));
    if (unwritable) {
        // The system's reason follows the file's name.
        QVERIFY2(QRegularExpression(":\n.+\n\n").match(box.text).hasMatch(), qPrintable(box.text));
        QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.default_button, QMessageBox::No);
    }
    if (answer == QMessageBox::No) {
        // Nothing is sent, nothing recorded.
        QCOMPARE(enabled_reset_buttons(), 3);
        QTest::qWait(200);
        QCOMPARE(rig->sim.request_count("get ALO"), 0u);
        QCOMPARE(maint->Counter_History()->Series(2), before);
        return;
    }
    QTRY_COMPARE(rig->sim.readings().counters[size_t(Sim::Counter::Overheat)], 0u);
    QTRY_COMPARE(enabled_reset_buttons(), 3);
    QCOMPARE(maint->Counter_History()->Series(2).last(), quint16(9));

    // Told once; once the way is clear the next reset is saved.
    QVERIFY(!unwritable || QDir(path).removeRecursively());
    rig->sim.set_counter(Sim::Counter::Overheat, 4);
    maint->Has_Focus();
    QTRY_COMPARE(shown("lcdCompOverheat"), 4);
    button("btnCompOverheatReset")->click();
    QTRY_COMPARE(rig->sim.request_count("set ALO"), 2u);
    QCOMPARE(answers->asked.size(), 1);
    QCOMPARE(Fault_Counts_Class(QStringLiteral("parameters.ini"), 3).Series(2).last(),
             quint16(4));
}

void Maint_Ctrl::unanswered_reset_frees_the_buttons_data()
{
    QTest::addColumn<QString>("silent");
    QTest::addColumn<bool>("hang_up");
    QTest::newRow("reset code") << "get ALG" << false;
    QTest::newRow("reset") << "set ALG" << false;
    QTest::newRow("serial error") << "set ALG" << true;
}

void Maint_Ctrl::unanswered_reset_frees_the_buttons()
{
    QFETCH(QString, silent);
    QFETCH(bool, hang_up);
    const std::string key = silent.toStdString();
    rig->sim.set_counter(Sim::Counter::Compressor_Time, 55);
    maint->Has_Focus();
    QTRY_COMPARE(shown("lcdCompressorTime"), 55);

    rig->sim.set_silent_commands({key});
    button("btnCompressorTimeReset")->click();
    QCOMPARE(enabled_reset_buttons(), 0);
    if (hang_up) {
        QTRY_VERIFY(rig->sim.request_count(key) >= 1u);
        rig->sim.hang_up();
    }
    QTRY_COMPARE_WITH_TIMEOUT(enabled_reset_buttons(), 3, 10000);
    if (hang_up) {
        // Freed by the error, not by running out of resends.
        QVERIFY(rig->sim.request_count(key) < 6u);
        return;
    }
    QCOMPARE(rig->sim.request_count(key), 6u);
    QCOMPARE(rig->sim.readings().counters[size_t(Sim::Counter::Compressor_Time)], 55u);

    // The main window's retry schedules the item that ran out of retries again.
    rig->sim.set_silent_commands({});
    rig->worker->TX_Scheduler->Schedule_Item(key == "get ALG" ? maint->Reset_Code_Item()
                                                              : maint->Reset_Confirm_Item());
    QCOMPARE(enabled_reset_buttons(), 0);
    QTRY_COMPARE(shown("lcdCompressorTime"), 0);
    QTRY_COMPARE(enabled_reset_buttons(), 3);
}

void Maint_Ctrl::verdicts_data()
{
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<QString>("message");
    QTest::newRow("done") << "<TEST DONE>"
                          << "Test Succeeded.\nTime elapsed was ";
    QTest::newRow("fail 1") << "<FAIL 1>"
                            << "Unable to charge reservoir to 100 psi before test.\n"
                               "Time elapsed was ";
    QTest::newRow("fail 2") << "<FAIL 2>"
                            << "Unable to drain reservoir to 100 psi before test.\n"
                               "Time elapsed was ";
    QTest::newRow("fail 3") << "<FAIL 3>"
                            << "Unable to charge reservoir in the necessary time frame.\n"
                               "Time elapsed was ";
    QTest::newRow("over temp") << "<OVER TEMP>"
                               << "Compressor exceeds maximum temperature limit.\n"
                                  "Time elapsed was ";
    QTest::newRow("over time") << "<OVER TIME>"
                               << "Maximum Time exceeded.\nTime elapsed was ";
}

void Maint_Ctrl::verdicts()
{
    QFETCH(QString, verdict);
    QFETCH(QString, message);
    QVERIFY(rig->sim.set_test_verdict(verdict.toStdString()));
    rig->sim.set_test_duration(200ms);

    button("btnCompTest")->click();
    QVERIFY(!button("btnCompTest")->isEnabled());
    QCOMPARE(running(), QList<bool>{true});
    QTRY_COMPARE_WITH_TIMEOUT(answers->asked.size(), 1, 10000);

    const User_Prompt& box = answers->asked.first();
    const bool success = verdict == "<TEST DONE>";
    QCOMPARE(box.icon, success ? QMessageBox::Information : QMessageBox::Critical);
    QCOMPARE(box.title, success ? QStringLiteral("Compressor Test Success") : Failure);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.parent, maint.get());
    // Only failures name the unit.
    const QString unit = success ? QString() : QStringLiteral(" seconds");
    QVERIFY2(QRegularExpression("^" + QRegularExpression::escape(message) +
                                "\\d+:\\d\\d\\.\\d\\d\\d" + unit + "$")
                 .match(box.text)
                 .hasMatch(),
             qPrintable(box.text));
    QVERIFY(button("btnCompTest")->isEnabled());
    QCOMPARE(running(), (QList<bool>{true, false}));
    QCOMPARE(rig->sim.request_count("go CTS"), 1u);

    QCOMPARE(MaintCtrl::Elapsed_Text(61250), QStringLiteral("1:01.250"));
    QCOMPARE(MaintCtrl::Elapsed_Text(3600005), QStringLiteral("60:00.005"));
}

void Maint_Ctrl::ignored_verdict_runs_into_the_time_limit_data()
{
    QTest::addColumn<QByteArray>("verdict");
    QTest::addColumn<int>("duration");
    QTest::addColumn<int>("limit");
    QTest::newRow("lower case") << QByteArray("<fail 2>") << 200 << 3000;
    QTest::newRow("after the limit") << QByteArray("<FAIL 1>") << 3000 << 300;
}

void Maint_Ctrl::ignored_verdict_runs_into_the_time_limit()
{
    QFETCH(QByteArray, verdict);
    QFETCH(int, duration);
    QFETCH(int, limit);
    Queued_Spy packets(rig->resource, &COM_Resource::Rx_Packet);
    QVERIFY(rig->sim.set_test_verdict(verdict.toStdString()));
    rig->sim.set_test_duration(std::chrono::milliseconds(duration));
    maint->Set_Time_Limit_Wait(limit);

    button("btnCompTest")->click();
    QTRY_COMPARE_WITH_TIMEOUT(texts(), QStringList{Limit}, 10000);
    QCOMPARE(answers->asked.first().title, Failure);
    QCOMPARE(running(), (QList<bool>{true, false}));
    QTRY_VERIFY_WITH_TIMEOUT(received(packets, verdict), 10000);
    QCoreApplication::processEvents();
    QCOMPARE(answers->asked.size(), 1);
    QCOMPARE(running().size(), 2);
    QVERIFY(button("btnCompTest")->isEnabled());
}

void Maint_Ctrl::unanswered_start_data()
{
    QTest::addColumn<bool>("retry");
    QTest::newRow("retried at COM Timeout") << true;
    QTest::newRow("connection given up at COM Timeout") << false;
}

void Maint_Ctrl::unanswered_start()
{
    QFETCH(bool, retry);
    // The main window's answer to "Communication failed.  Retry?".
    connect(
        rig->resource, &COM_Resource::Item_Disconnected, maint.get(),
        [this, retry](Disconnect_Enum, TX_Scheduler_Item_Class* item) {
            rig->sim.set_silent_commands({});
            if (retry)
                rig->worker->TX_Scheduler->Schedule_Item(item);
            else
                maint->COM_Disconnect();
        },
        Qt::QueuedConnection);
    rig->sim.set_silent_commands({"go CTS"});
    rig->sim.set_test_duration(200ms);
    button("btnCompTest")->click();
    QTRY_COMPARE_WITH_TIMEOUT(answers->asked.size(), 1, 10000);
    // The start is given up after its last resend, not at each unanswered one.
    QCOMPARE(rig->sim.request_count("go CTS"), retry ? 7u : 6u);
    // One test throughout, locked until its one verdict.
    const QString text = answers->asked.first().text;
    QVERIFY2(retry ? text.startsWith("Test Succeeded.") : text == Timed_Out, qPrintable(text));
    QCOMPARE(running(), (QList<bool>{true, false}));
    QVERIFY(button("btnCompTest")->isEnabled());
    if (retry)
        return;

    // Connected again, a new test runs to its verdict.
    maint->COM_Connect(rig->worker);
    button("btnCompTest")->click();
    QTRY_COMPARE_WITH_TIMEOUT(answers->asked.size(), 2, 10000);
    QCOMPARE(answers->asked.last().title, QStringLiteral("Compressor Test Success"));
    QCOMPARE(running(), (QList<bool>{true, false, true, false}));
}

void Maint_Ctrl::lost_connection_ends_the_test_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("serial error") << 0;
    QTest::newRow("given up at COM Timeout") << 1;
    QTest::newRow("another worker") << 2;
}

void Maint_Ctrl::lost_connection_ends_the_test()
{
    QFETCH(int, how);
    rig->sim.set_test_duration(60s);
    button("btnCompTest")->click();
    QTRY_VERIFY(rig->sim.readings().mode == Sim::Mode::Compressor_Test);
    QTest::qWait(50); // the "<OK>" reaches the tab
    Worker_Rig other;
    if (how == 0) {
        rig->sim.hang_up();
    } else if (how == 1) {
        maint->COM_Disconnect();
    } else {
        QVERIFY(other.start());
        maint->COM_Connect(other.worker);
    }
    QTRY_COMPARE_WITH_TIMEOUT(texts(), QStringList{Timed_Out}, 10000);
    QVERIFY(button("btnCompTest")->isEnabled());
    QCOMPARE(running(), (QList<bool>{true, false}));
    if (how == 0)
        QTRY_VERIFY(rig->worker->Is_Shutdown());
    QTest::qWait(100);
    QCOMPARE(answers->asked.size(), 1);
}

void Maint_Ctrl::start_answered_with_a_verdict()
{
    Queued_Spy ended(rig->resource, &COM_Resource::Item_Disconnected);
    // The start request stays unanswered on the line; its answer comes from here.
    rig->sim.set_silent_commands({"go CTS"});
    button("btnCompTest")->click();
    QElapsedTimer since_click;
    since_click.start();
    QTRY_VERIFY(rig->sim.request_count("go CTS") >= 1u);
    QTest::qWait(300);
    maint->Rx_CompTestProgress(response("<FAIL 3>"));
    const qint64 waited = since_click.elapsed();

    QCOMPARE(answers->asked.size(), 1);
    const QString text = answers->asked.first().text;
    static const QRegularExpression elapsed(QStringLiteral(
        "^Unable to charge .*\nTime elapsed was (\\d+):(\\d\\d)\\.(\\d\\d\\d) seconds$"));
    const auto match = elapsed.match(text);
    QVERIFY2(match.hasMatch(), qPrintable(text));
    // Timed from the click.
    QVERIFY(match.captured(1).toInt() * 60000 + match.captured(2).toInt() * 1000 +
                match.captured(3).toInt() >=
            waited);
    QCOMPARE(running(), (QList<bool>{true, false}));

    // The unanswered start request ends later and changes nothing.
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 10000);
    QCoreApplication::processEvents();
    QCOMPARE(answers->asked.size(), 1);
    QCOMPARE(running().size(), 2);
}

VANTOR_TEST_MAIN(Maint_Ctrl)
#include "tst_maint_ctrl.moc"
