// A guided test's wizard against the virtual controller: the checklist holds
// the start back until every box is ticked, and each way of ending a running
// test ends it once, as inconclusive, with the right page or none.
// With VANTOR_PICTURES set to a folder, result_page_picture draws the
// leak-down result page there, for the README.

#include "app_test_main.h"
#include "worker_rig.h"

#include "diagnostics/test_wizard.h"
#include "diagnostics/test_wizard_pages.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>

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
