#include "diagnostics/test_wizard.h"

#include "diagnostics/test_wizard_pages.h"

#include <QAbstractButton>
#include <QTimer>

namespace Diagnostics {

Test_Wizard::Test_Wizard(Test_Kind kind, const Test_Limits& limits, Quillon::COM_485_Class* w,
                         QWidget* parent)
    : QWizard(parent), runner(Make_Runner(kind, limits, this)), worker(w),
      checklist(new Checklist_Page(kind)), result_page(new Result_Page)
{
    setObjectName(QStringLiteral("testWizard"));
    setWindowTitle(Test_Title(kind));
    setWizardStyle(QWizard::ClassicStyle);
    setOptions(QWizard::NoBackButtonOnLastPage | QWizard::NoCancelButtonOnLastPage |
               QWizard::HaveCustomButton1);
    setButtonText(QWizard::CustomButton1, QStringLiteral("Stop"));
    setButtonText(QWizard::CommitButton, QStringLiteral("Start"));
    // Once started, a test is not gone back to.
    checklist->setCommitPage(true);
    button(QWizard::CustomButton1)->setObjectName(QStringLiteral("stopButton"));
    setPage(Checklist, checklist);
    live = new Live_Page(runner);
    setPage(Live, live);
    setPage(Outcome_Page, result_page);
    connect(this, &QWizard::currentIdChanged, this, &Test_Wizard::page_changed);
    connect(this, &QWizard::customButtonClicked, runner, &Test_Runner::Stop);
    connect(runner, &Test_Runner::Finished, this, &Test_Wizard::finished);
    page_changed(Checklist);
}

void Test_Wizard::page_changed(int id)
{
    button(QWizard::CustomButton1)->setVisible(id == Live);
    if (id != Live || started)
        return;
    started = true;
    if (!std::isnan(checklist->Minutes()))
        runner->Set_Duration(checklist->Minutes() * 60);
    emit Test_Started(runner->Kind());
    if (!runner->Start(worker))
        finished(runner->Last_Result());
}

void Test_Wizard::finished(const Result& result)
{
    result_page->Show(result);
    live->Finish();
    emit Result_Ready(result);
    if (currentId() == Live)
        QTimer::singleShot(0, this, [this] {
            if (currentId() == Live)
                next();
        });
}

void Test_Wizard::Connection_Lost()
{
    runner->Connection_Lost();
}

void Test_Wizard::reject()
{
    if (runner->Is_Running())
        runner->Stop();
    QWizard::reject();
}

} // namespace Diagnostics
