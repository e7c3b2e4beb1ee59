#ifndef APP_DIAGNOSTICS_TEST_WIZARD_H
#define APP_DIAGNOSTICS_TEST_WIZARD_H

// A guided test from start to verdict: the checklist, the live page and the
// result. Stop ends the test and shows its result; Escape and closing the
// window end it too. Whichever way it ends, Result_Ready tells the owner
// once, and any move the test started has been released.

#include "diagnostics/test_runner.h"

#include <QWizard>

namespace Diagnostics {

class Checklist_Page;
class Live_Page;
class Result_Page;

class Test_Wizard : public QWizard
{
    Q_OBJECT

public:
    enum Page_Id
    {
        Checklist = 0,
        Live = 1,
        Outcome_Page = 2
    };

    Test_Wizard(Test_Kind kind, const Test_Limits& limits, Quillon::COM_485_Class* worker,
                QWidget* parent = nullptr);

    Test_Runner* Runner() const { return runner; }
    Checklist_Page* Checklist_Step() const { return checklist; }

public slots:
    // The owner gave the connection up: the test ends as inconclusive.
    void Connection_Lost();
    void reject() override;

signals:
    void Test_Started(Diagnostics::Test_Kind kind);
    void Result_Ready(const Diagnostics::Result& result);

private:
    void page_changed(int id);
    void finished(const Result& result);

    Test_Runner* runner;
    Quillon::COM_485_Class* worker;
    Checklist_Page* checklist;
    Live_Page* live;
    Result_Page* result_page;
    bool started = false;
};

} // namespace Diagnostics

#endif // APP_DIAGNOSTICS_TEST_WIZARD_H
