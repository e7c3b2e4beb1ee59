#ifndef APP_DIAGNOSTICS_TEST_LIMITS_DIALOG_H
#define APP_DIAGNOSTICS_TEST_LIMITS_DIALOG_H

// "Test Limits": every limit of the guided tests with its unit, its default
// and the reason for it, one tab a test. OK keeps what was changed; a value
// back at its default is stored as none, so that a later program's default
// applies.

#include "diagnostics/test_limits.h"

#include <QDialog>
#include <QHash>

class QDoubleSpinBox;

namespace Diagnostics {

class Test_Limits_Dialog : public QDialog
{
    Q_OBJECT

public:
    explicit Test_Limits_Dialog(Test_Limits* limits, QWidget* parent = nullptr);

    // The editor of the limit with this settings key.
    QDoubleSpinBox* Editor(const QString& key) const { return editors.value(key); }
    // Every editor back at its default; nothing is stored until OK.
    void Restore_Defaults();
    void accept() override;

private:
    Test_Limits* limits;
    QHash<QString, QDoubleSpinBox*> editors;
};

} // namespace Diagnostics

#endif // APP_DIAGNOSTICS_TEST_LIMITS_DIALOG_H
