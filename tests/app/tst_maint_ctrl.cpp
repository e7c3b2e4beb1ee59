// The maintenance tab against the virtual controller: the counters, their
// reset-code exchange with its history, and the compressor test.

#include "app_test_main.h"
#include "queued_spy.h"
#include "worker_rig.h"

#include "fault_counts_class.h"
#include "maint_ctrl.h"

#include <QDir>
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

class Maint_Ctrl : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void focus_reads_the_counters();
    void reset_exchange_data();
    void reset_exchange();
    void unanswered_reset_frees_the_buttons_data();
    void unanswered_reset_frees_the_buttons();
    void serial_error_frees_the_reset_buttons();

    void verdicts_data();
    void verdicts();
    void elapsed_and_limit_texts();
    void unknown_verdict_runs_into_the_time_limit();
    void verdict_after_the_time_limit_is_ignored();
    void unanswered_start_fails_once_and_can_be_retried();
    void start_answered_with_a_verdict();
    void serial_error_ends_the_test();

private:
    QPushButton* button(const char* name) const;
    QLCDNumber* display(const char* name) const;
    bool reset_buttons_enabled() const;
    bool reset_buttons_disabled() const;
    // The elapsed time of a verdict's message, in milliseconds; -1 if absent.
    static qint64 elapsed_of(const QString& message);
    static Packet_Shared_Ptr system_response(const char* text);
    static bool received(const Queued_Spy& spy, const QByteArray& system_text);

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
    maint.reset(new MaintCtrl);
    maint->COM_Connect(rig->worker);
    test_running.reset(new QSignalSpy(maint.get(), &MaintCtrl::CompTest));
}

void Maint_Ctrl::cleanup()
{
    // The worker must be gone before the items it may still list.
    rig->stop();
    test_running.reset();
    maint.reset();
    rig.reset();
    answers.reset();
}

QPushButton* Maint_Ctrl::button(const char* name) const
{
    return maint->findChild<QPushButton*>(QLatin1String(name));
}

QLCDNumber* Maint_Ctrl::display(const char* name) const
{
    return maint->findChild<QLCDNumber*>(QLatin1String(name));
}

bool Maint_Ctrl::reset_buttons_enabled() const
{
    return button("btnCompressorTimeReset")->isEnabled() && button("btnOnTimeReset")->isEnabled() &&
           button("btnCompOverheatReset")->isEnabled();
}

bool Maint_Ctrl::reset_buttons_disabled() const
{
    return !button("btnCompressorTimeReset")->isEnabled() &&
           !button("btnOnTimeReset")->isEnabled() && !button("btnCompOverheatReset")->isEnabled();
}

qint64 Maint_Ctrl::elapsed_of(const QString& message)
{
    static const QRegularExpression pattern(
        QStringLiteral("\nTime elapsed was (\\d+):(\\d\\d)\\.(\\d\\d\\d)( seconds)?$"));
    const auto match = pattern.match(message);
    if (!match.hasMatch())
        return -1;
    return match.captured(1).toLongLong() * 60000 + match.captured(2).toLongLong() * 1000 +
           match.captured(3).toLongLong();
}

Packet_Shared_Ptr Maint_Ctrl::system_response(const char* text)
{
    auto packet = new Packet_Resp_System;
    QByteArray bytes(text);
    packet->check_data(bytes.data());
    return Packet_Shared_Ptr(packet);
}

bool Maint_Ctrl::received(const Queued_Spy& spy, const QByteArray& system_text)
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
    rig->sim.set_counter(Sim::Counter::Compressor_Time, 4567);
    rig->sim.set_counter(Sim::Counter::Overheat, 7);
    maint->Has_Focus();
    QTRY_COMPARE(display("lcdOnTime")->intValue(), 123);
    QTRY_COMPARE(display("lcdCompressorTime")->intValue(), 4567);
    QTRY_COMPARE(display("lcdCompOverheat")->intValue(), 7);

    rig->sim.set_counter(Sim::Counter::Overheat, 8);
    maint->Lost_Focus();
    maint->Has_Focus();
    QTRY_COMPARE(display("lcdCompOverheat")->intValue(), 8);
    QCOMPARE(rig->sim.request_count("get IGT"), 2u);
    QCOMPARE(rig->sim.request_count("get CPT"), 2u);
    QTRY_COMPARE(rig->sim.request_count("get OTC"), 2u);
    // A focus change sends neither a reset nor a test.
    for (const char* key :
         {"get ALG", "get ALR", "get ALO", "set ALG", "set ALR", "set ALO", "go CTS"})
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
    QTest::newRow("on time") << "btnOnTimeReset"
                             << "lcdOnTime" << Sim::Counter::On_Time << "ALR"
                             << "get IGT" << 0;
    QTest::newRow("compressor time")
        << "btnCompressorTimeReset"
        << "lcdCompressorTime" << Sim::Counter::Compressor_Time << "ALG"
        << "get CPT" << 1;
    QTest::newRow("overheat count") << "btnCompOverheatReset"
                                    << "lcdCompOverheat" << Sim::Counter::Overheat << "ALO"
                                    << "get OTC" << 2;
}

void Maint_Ctrl::reset_exchange()
{
    QFETCH(QString, reset_button);
    QFETCH(QString, lcd);
    QFETCH(Sim::Counter, counter);
    QFETCH(QString, code);
    QFETCH(QString, read);
    QFETCH(int, series);
    const std::string get_code = ("get " + code).toStdString();
    const std::string set_code = ("set " + code).toStdString();
    const auto lcd_value = [&] { return display(qPrintable(lcd))->intValue(); };

    // A value of its own per counter, so that no other series holds it.
    const int before = 321 + series;
    rig->sim.set_counter(counter, unsigned(before));
    maint->Has_Focus();
    QTRY_COMPARE(lcd_value(), before);
    QTRY_COMPARE(rig->sim.request_count(read.toStdString()), 1u);

    button(qPrintable(reset_button))->click();
    QVERIFY(reset_buttons_disabled());
    // The controller zeroes the counter only for the code its challenge asks for.
    QTRY_COMPARE(rig->sim.readings().counters[size_t(counter)], 0u);
    QVERIFY(rig->sim.readings().challenges[size_t(counter)] >= 0);
    QTRY_COMPARE(lcd_value(), 0);
    QVERIFY(reset_buttons_enabled());
    QCOMPARE(rig->sim.request_count(get_code), 1u);
    QCOMPARE(rig->sim.request_count(set_code), 1u);
    QCOMPARE(rig->sim.request_count(read.toStdString()), 2u);

    // The value before the reset is the latest of its series, in the file too.
    Fault_Counts_Class* history = maint->Counter_History();
    QVERIFY(history->File_Path().startsWith(QDir::homePath()));
    QCOMPARE(history->Series(series).last(), qint16(before));
    for (int other = 0; other < 3; ++other) {
        if (other != series)
            QVERIFY(history->Series(other).last() != qint16(before));
    }
    Fault_Counts_Class stored(QStringLiteral("parameters.ini"), 3);
    QCOMPARE(stored.Series(series).last(), qint16(before));
}

void Maint_Ctrl::unanswered_reset_frees_the_buttons_data()
{
    QTest::addColumn<QString>("silent");
    QTest::newRow("reset code") << "get ALG";
    QTest::newRow("reset") << "set ALG";
}

void Maint_Ctrl::unanswered_reset_frees_the_buttons()
{
    QFETCH(QString, silent);
    const std::string key = silent.toStdString();
    const bool code_unanswered = key == "get ALG";
    rig->sim.set_counter(Sim::Counter::Compressor_Time, 55);
    maint->Has_Focus();
    QTRY_COMPARE(display("lcdCompressorTime")->intValue(), 55);

    rig->sim.set_silent_commands({key});
    button("btnCompressorTimeReset")->click();
    QVERIFY(reset_buttons_disabled());
    QTRY_VERIFY_WITH_TIMEOUT(reset_buttons_enabled(), 10000);
    QCOMPARE(rig->sim.request_count(key), 6u);
    QCOMPARE(rig->sim.request_count("set ALG"), code_unanswered ? 0u : 6u);
    QCOMPARE(rig->sim.readings().counters[size_t(Sim::Counter::Compressor_Time)], 55u);
    if (!code_unanswered) {
        const int challenge = rig->sim.readings().challenges[size_t(Sim::Counter::Compressor_Time)];
        QVERIFY(challenge >= 0);
        QCOMPARE(QString::fromStdString(rig->sim.last_request()),
                 QString::asprintf("set ALG %03u", Reset_Code_For(quint16(challenge))));
    }

    // The main window's retry schedules the item that ran out of retries again.
    rig->sim.set_silent_commands({});
    rig->worker->TX_Scheduler->Schedule_Item(code_unanswered ? maint->Reset_Code_Item()
                                                             : maint->Reset_Confirm_Item());
    QVERIFY(reset_buttons_disabled());
    QTRY_COMPARE(rig->sim.readings().counters[size_t(Sim::Counter::Compressor_Time)], 0u);
    QTRY_COMPARE(display("lcdCompressorTime")->intValue(), 0);
    QVERIFY(reset_buttons_enabled());
}

void Maint_Ctrl::serial_error_frees_the_reset_buttons()
{
    rig->sim.set_silent_commands({"set ALR"});
    button("btnOnTimeReset")->click();
    QTRY_VERIFY(rig->sim.request_count("set ALR") >= 1u);
    rig->sim.hang_up();
    QTRY_VERIFY(reset_buttons_enabled());
    // Freed by the error, not by running out of resends.
    QVERIFY(rig->sim.request_count("set ALR") < 6u);
    QTRY_VERIFY(rig->worker->Is_Shutdown());
}

void Maint_Ctrl::verdicts_data()
{
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<QMessageBox::Icon>("icon");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("message");
    const QString failure = QStringLiteral("Compressor Test Failure");
    QTest::newRow("done") << "<TEST DONE>" << QMessageBox::Information << "Compressor Test Success"
                          << "Test Succeeded.\nTime elapsed was ";
    QTest::newRow("fail 1") << "<FAIL 1>" << QMessageBox::Critical << failure
                            << "Unable to charge reservoir to 100 psi before test.\n"
                               "Time elapsed was ";
    QTest::newRow("fail 2") << "<FAIL 2>" << QMessageBox::Critical << failure
                            << "Unable to drain reservoir to 100 psi before test.\n"
                               "Time elapsed was ";
    QTest::newRow("fail 3") << "<FAIL 3>" << QMessageBox::Critical << failure
                            << "Unable to charge reservoir in the necessary time frame.\n"
                               "Time elapsed was ";
    QTest::newRow("over temp") << "<OVER TEMP>" << QMessageBox::Critical << failure
                               << "Compressor exceeds maximum temperature limit.\n"
                                  "Time elapsed was ";
    QTest::newRow("over time") << "<OVER TIME>" << QMessageBox::Critical << failure
                               << "Maximum Time exceeded.\nTime elapsed was ";
}

void Maint_Ctrl::verdicts()
{
    QFETCH(QString, verdict);
    QFETCH(QMessageBox::Icon, icon);
    QFETCH(QString, title);
    QFETCH(QString, message);
    QVERIFY(rig->sim.set_test_verdict(verdict.toStdString()));
    rig->sim.set_test_duration(200ms);

    button("btnCompTest")->click();
    QVERIFY(!button("btnCompTest")->isEnabled());
    QCOMPARE(test_running->size(), 1);
    QCOMPARE(test_running->at(0).at(0).toBool(), true);
    QTRY_COMPARE_WITH_TIMEOUT(answers->asked.size(), 1, 10000);

    const User_Prompt& box = answers->asked.first();
    QCOMPARE(box.icon, icon);
    QCOMPARE(box.title, title);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.parent, maint.get());
    QVERIFY2(box.text.startsWith(message), qPrintable(box.text));
    QVERIFY2(elapsed_of(box.text) >= 0, qPrintable(box.text));
    // Only failures name the unit.
    QCOMPARE(box.text.endsWith(QLatin1String(" seconds")), icon == QMessageBox::Critical);

    QVERIFY(button("btnCompTest")->isEnabled());
    QCOMPARE(test_running->size(), 2);
    QCOMPARE(test_running->at(1).at(0).toBool(), false);
    QCOMPARE(rig->sim.request_count("go CTS"), 1u);
}

void Maint_Ctrl::elapsed_and_limit_texts()
{
    QCOMPARE(MaintCtrl::Elapsed_Text(61250), QStringLiteral("1:01.250"));
    QCOMPARE(MaintCtrl::Elapsed_Text(83456), QStringLiteral("1:23.456"));
    QCOMPARE(MaintCtrl::Elapsed_Text(0), QStringLiteral("0:00.000"));
    QCOMPARE(MaintCtrl::Elapsed_Text(599999), QStringLiteral("9:59.999"));
    QCOMPARE(MaintCtrl::Elapsed_Text(3600005), QStringLiteral("60:00.005"));
    QCOMPARE(MaintCtrl::Time_Limit_Message(MaintCtrl::Test_Time_Limit),
             QStringLiteral("Compressor Test exceeded time limit of 2 minutes 22 seconds"));
}

void Maint_Ctrl::unknown_verdict_runs_into_the_time_limit()
{
    Queued_Spy packets(rig->resource, &COM_Resource::Rx_Packet);
    QVERIFY(rig->sim.set_test_verdict("<fail 2>"));
    rig->sim.set_test_duration(200ms);
    maint->Set_Time_Limit_Wait(3000);

    button("btnCompTest")->click();
    QTRY_COMPARE_WITH_TIMEOUT(answers->asked.size(), 1, 10000);
    QCOMPARE(answers->asked.first().icon, QMessageBox::Critical);
    QCOMPARE(answers->asked.first().title, QStringLiteral("Compressor Test Failure"));
    QCOMPARE(answers->asked.first().text,
             QStringLiteral("Compressor Test exceeded time limit of 2 minutes 22 seconds"));
    QTRY_VERIFY(received(packets, "<fail 2>"));
    QCOMPARE(answers->asked.size(), 1);
    QCOMPARE(test_running->size(), 2);
}

void Maint_Ctrl::verdict_after_the_time_limit_is_ignored()
{
    Queued_Spy packets(rig->resource, &COM_Resource::Rx_Packet);
    const auto verdict_seen = [&] { return received(packets, "<FAIL 1>"); };
    QVERIFY(rig->sim.set_test_verdict("<FAIL 1>"));
    rig->sim.set_test_duration(3000ms);
    maint->Set_Time_Limit_Wait(300);

    button("btnCompTest")->click();
    QTRY_COMPARE_WITH_TIMEOUT(answers->asked.size(), 1, 10000);
    QVERIFY(!verdict_seen());
    QCOMPARE(answers->asked.first().text,
             QStringLiteral("Compressor Test exceeded time limit of 2 minutes 22 seconds"));
    QVERIFY(button("btnCompTest")->isEnabled());
    QCOMPARE(test_running->size(), 2);

    QTRY_VERIFY_WITH_TIMEOUT(verdict_seen(), 10000);
    QCoreApplication::processEvents();
    QCOMPARE(answers->asked.size(), 1);
    QCOMPARE(test_running->size(), 2);
    QVERIFY(button("btnCompTest")->isEnabled());
}

void Maint_Ctrl::unanswered_start_fails_once_and_can_be_retried()
{
    rig->sim.set_silent_commands({"go CTS"});
    button("btnCompTest")->click();
    QTRY_COMPARE_WITH_TIMEOUT(answers->asked.size(), 1, 10000);
    // One message after the last resend, not one per unanswered attempt.
    QCOMPARE(rig->sim.request_count("go CTS"), 6u);
    QCOMPARE(answers->asked.first().icon, QMessageBox::Critical);
    QCOMPARE(answers->asked.first().title, QStringLiteral("Compressor Test Failure"));
    QCOMPARE(answers->asked.first().text, QStringLiteral("Compressor Test command timed out"));
    QVERIFY(button("btnCompTest")->isEnabled());
    QCOMPARE(test_running->size(), 2);
    QCOMPARE(test_running->at(1).at(0).toBool(), false);

    // The main window's retry schedules the start request again.
    rig->sim.set_silent_commands({});
    QVERIFY(rig->sim.set_test_verdict("<TEST DONE>"));
    rig->sim.set_test_duration(200ms);
    rig->worker->TX_Scheduler->Schedule_Item(maint->Test_Start_Item());
    QVERIFY(!button("btnCompTest")->isEnabled());
    QCOMPARE(test_running->size(), 3);
    QCOMPARE(test_running->at(2).at(0).toBool(), true);
    QTRY_COMPARE_WITH_TIMEOUT(answers->asked.size(), 2, 10000);
    QCOMPARE(answers->asked.at(1).title, QStringLiteral("Compressor Test Success"));
    QCOMPARE(test_running->size(), 4);
    QVERIFY(button("btnCompTest")->isEnabled());
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
    maint->Rx_CompTestProgress(system_response("<FAIL 3>"));
    const qint64 waited = since_click.elapsed();

    QCOMPARE(answers->asked.size(), 1);
    const QString text = answers->asked.first().text;
    QVERIFY2(text.startsWith(
                 "Unable to charge reservoir in the necessary time frame.\nTime elapsed was "),
             qPrintable(text));
    QVERIFY2(text.endsWith(" seconds"), qPrintable(text));
    // Timed from the click.
    QVERIFY2(elapsed_of(text) >= waited, qPrintable(text));
    QVERIFY(button("btnCompTest")->isEnabled());
    QCOMPARE(test_running->size(), 2);

    // The unanswered start request ends later and changes nothing.
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 10000);
    QCoreApplication::processEvents();
    QCOMPARE(answers->asked.size(), 1);
    QCOMPARE(test_running->size(), 2);
}

void Maint_Ctrl::serial_error_ends_the_test()
{
    rig->sim.set_test_duration(60s);
    button("btnCompTest")->click();
    QTRY_COMPARE(rig->sim.request_count("go CTS"), 1u);
    QTRY_VERIFY(rig->sim.readings().mode == Sim::Mode::Compressor_Test);
    rig->sim.hang_up();
    QTRY_COMPARE_WITH_TIMEOUT(answers->asked.size(), 1, 10000);
    QCOMPARE(answers->asked.first().text, QStringLiteral("Compressor Test command timed out"));
    QVERIFY(button("btnCompTest")->isEnabled());
    QCOMPARE(test_running->size(), 2);
    QTRY_VERIFY(rig->worker->Is_Shutdown());
    QCoreApplication::processEvents();
    QCOMPARE(answers->asked.size(), 1);
}

VANTOR_TEST_MAIN(Maint_Ctrl)
#include "tst_maint_ctrl.moc"
