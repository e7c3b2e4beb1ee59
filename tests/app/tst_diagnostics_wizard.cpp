// A guided test's wizard against the virtual controller: the checklist holds
// the start back until every box is ticked, and each way of ending a running
// test ends it once, as inconclusive, with the right page or none.
// With VANTOR_PICTURES set to a folder, result_page_picture draws the
// leak-down result page there, for the README.

#include "app_test_main.h"
#include "worker_rig.h"

#include "diagnostics/test_limits_dialog.h"
#include "diagnostics/test_wizard.h"
#include "diagnostics/test_wizard_pages.h"
#include "main_window.h"

#include <session_reader.h>

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>

#include <memory>

using namespace Diagnostics;

class Diagnostics_Wizard : public QObject
{
    Q_OBJECT

    std::unique_ptr<Worker_Rig> rig;
    QList<Result> results;

    std::unique_ptr<Test_Wizard> wizard;

    // Past the checklist, which holds the start back until every box is
    // ticked: the test runs.
    void start(Test_Kind kind)
    {
        const Test_Limits limits;
        wizard = std::make_unique<Test_Wizard>(kind, limits, rig->worker);
        connect(wizard.get(), &Test_Wizard::Result_Ready, this,
                [this](const Result& r) { results << r; });
        wizard->show();
        QAbstractButton* go = wizard->button(QWizard::CommitButton);
        for (QCheckBox* box : wizard->Checklist_Step()->Boxes()) {
            QVERIFY(!go->isEnabled());
            box->setChecked(true);
        }
        QVERIFY(go->isEnabled());
        go->click();
    }

private slots:
    void init()
    {
        rig.reset(new Worker_Rig);
        QString error;
        QVERIFY2(rig->start(&error), qPrintable(error));
        results.clear();
    }

    void cleanup()
    {
        wizard.reset();
        rig.reset();
    }

    void ends_data()
    {
        QTest::addColumn<int>("test");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("reason");
        const int leak = int(Test_Kind::Leak_Down);
        QTest::newRow("stop") << leak << "stop" << Reason::Stopped;
        QTest::newRow("escape") << leak << "escape" << Reason::Stopped;
        QTest::newRow("window closed") << leak << "close" << Reason::Stopped;
        QTest::newRow("connection lost") << leak << "lost" << Reason::Connection_Lost;
        QTest::newRow("sensors stopped mid-move")
            << int(Test_Kind::Sensors) << "stop" << Reason::Stopped;
    }

    void ends()
    {
        QFETCH(int, test);
        QFETCH(QString, how);
        QFETCH(QString, reason);
        start(Test_Kind(test));
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(wizard->currentId(), int(Test_Wizard::Live));
        QVERIFY(wizard->Runner()->Is_Running());
        QTRY_VERIFY_WITH_TIMEOUT(wizard->Runner()->Elapsed() >= 1.5, 10000);
        if (how == QLatin1String("stop"))
            wizard->button(QWizard::CustomButton1)->click();
        else if (how == QLatin1String("escape"))
            QTest::keyClick(wizard.get(), Qt::Key_Escape);
        else if (how == QLatin1String("close"))
            wizard->close();
        else
            wizard->Connection_Lost();
        QTRY_COMPARE(results.size(), 1);
        QCOMPARE(results[0].reason_code, reason);
        QVERIFY(!wizard->Runner()->Is_Running());
        const bool stays = how == QLatin1String("stop") || how == QLatin1String("lost");
        QCOMPARE(wizard->isVisible(), stays);
        if (stays)
            QTRY_COMPARE(wizard->currentId(), int(Test_Wizard::Outcome_Page));
        QCOMPARE(wizard->findChild<QLabel*>(QStringLiteral("verdict"))->text(),
                 QStringLiteral("INCONCLUSIVE"));
        QTest::qWait(200);
        QCOMPARE(results.size(), 1);
    }

    // The window keeps each result for the report and records it with its
    // events.
    void window_keeps_and_records()
    {
        Prompt_Answers prompts;
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("session.sqlite"));
        Sim::Virtual_Controller sim;
        QVERIFY(sim.start());
        MainWindow window;
        window.Set_Job_Editor([](Service_Report::Job_Info*, QWidget*) { return true; });
        QString error;
        QVERIFY2(window.Start_Recording(file, &error), qPrintable(error));
        window.Open_Port(QString::fromStdString(sim.device_path()));
        QTRY_VERIFY(window.Worker());
        window.findChild<QAction*>(QStringLiteral("actionTest_compressor"))->trigger();
        auto shown = window.findChild<Test_Wizard*>();
        QVERIFY(shown);
        for (QCheckBox* box : shown->Checklist_Step()->Boxes())
            box->setChecked(true);
        shown->next();
        QTRY_VERIFY(shown->Runner()->Elapsed() > 1);
        shown->close();
        QTRY_COMPARE(window.Test_Results().size(), 1);
        window.Stop_Recording();
        Recording::Reader reader;
        QVERIFY(reader.open(QFile::encodeName(file).toStdString()));
        QStringList held;
        reader.results([&](const Recording::Result& r) {
            held << QString::fromStdString(r.test + ' ' + r.verdict);
            return true;
        });
        reader.events([&](const Recording::Event& e) {
            if (e.kind.rfind("guided_", 0) == 0)
                held << QString::fromStdString(e.kind);
            return true;
        });
        QCOMPARE(held.join(QLatin1Char(' ')),
                 QStringLiteral("guided_compressor inconclusive guided_test_start "
                                "guided_test_verdict"));
        window.Quit_Now();
    }

    // Limits are kept on OK; Restore Defaults leaves none stored.
    void limits_dialog()
    {
        QSettings settings;
        Test_Limits limits(&settings);
        const QString key = QStringLiteral("Tests/Leak/ReservoirLossMax");
        {
            Test_Limits_Dialog dialog(&limits);
            dialog.Editor(key)->setValue(2.5);
            dialog.Editor(QStringLiteral("Tests/Sensors/MoveMin"))->setValue(99); // past its most
            dialog.accept();
        }
        QCOMPARE(limits.Value(key), 2.5);
        QCOMPARE(limits.Sensors().min_move, 20.0);
        Test_Limits_Dialog dialog(&limits);
        QCOMPARE(dialog.Editor(key)->value(), 2.5);
        dialog.Restore_Defaults();
        dialog.accept();
        QVERIFY(!settings.contains(key));
        QCOMPARE(limits.Leak().reservoir_loss, Leak_Limits().reservoir_loss);
    }

    void result_page_picture()
    {
        const QString folder = qEnvironmentVariable("VANTOR_PICTURES");
        if (folder.isEmpty())
            QSKIP("VANTOR_PICTURES names no folder");
        QVERIFY(rig->sim.set_leak_reservoir(3));
        const Test_Limits limits;
        Test_Wizard shown(Test_Kind::Leak_Down, limits, rig->worker);
        connect(&shown, &Test_Wizard::Result_Ready, this,
                [this](const Result& r) { results << r; });
        shown.resize(760, 560);
        shown.show();
        for (QCheckBox* box : shown.Checklist_Step()->Boxes())
            box->setChecked(true);
        shown.findChild<QDoubleSpinBox*>(QStringLiteral("minutes"))->setValue(2);
        shown.next();
        QTRY_COMPARE_WITH_TIMEOUT(results.size(), 1, 200000);
        QTRY_COMPARE(shown.currentId(), int(Test_Wizard::Outcome_Page));
        QVERIFY(shown.grab().save(folder + QStringLiteral("/leak-down-result.png")));
    }
};

VANTOR_TEST_MAIN(Diagnostics_Wizard)
#include "tst_diagnostics_wizard.moc"
