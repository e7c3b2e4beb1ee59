#include "diagnostics/test_limits_dialog.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

namespace Diagnostics {

namespace {

QString kind_text(Figure::Limit_Kind kind)
{
    switch (kind) {
    case Figure::At_Most:
        return QStringLiteral("at most");
    case Figure::At_Least:
        return QStringLiteral("at least");
    case Figure::Within:
        return QStringLiteral("within \u00b1");
    case Figure::No_Limit:
        break;
    }
    return QString();
}

} // namespace

Test_Limits_Dialog::Test_Limits_Dialog(Test_Limits* l, QWidget* parent) : QDialog(parent), limits(l)
{
    setObjectName(QStringLiteral("testLimitsDialog"));
    setWindowTitle(QStringLiteral("Test Limits"));
    auto tabs = new QTabWidget;
    QHash<int, QGridLayout*> grids;
    for (const Test_Kind kind : {Test_Kind::Leak_Down, Test_Kind::Sensors, Test_Kind::Compressor}) {
        auto page = new QWidget;
        auto grid = new QGridLayout(page);
        grid->setColumnStretch(2, 1);
        grids.insert(int(kind), grid);
        auto scroller = new QScrollArea;
        scroller->setWidgetResizable(true);
        scroller->setWidget(page);
        tabs->addTab(scroller, Test_Title(kind));
    }
    for (const Limit_Info& info : Test_Limits::Table()) {
        QGridLayout* grid = grids.value(int(info.test));
        const int row = grid->rowCount();
        auto editor = new QDoubleSpinBox;
        editor->setObjectName(info.key);
        editor->setRange(info.minimum, info.maximum);
        editor->setDecimals(info.decimals);
        editor->setValue(limits->Value(info.key));
        if (!info.unit.isEmpty())
            editor->setSuffix(QLatin1Char(' ') + info.unit);
        editor->setAccessibleName(info.label);
        const QString prefix = kind_text(info.kind);
        auto label = new QLabel(
            prefix.isEmpty() ? info.label : QStringLiteral("%1, %2").arg(info.label, prefix));
        label->setBuddy(editor);
        const QString fallback =
            QStringLiteral("default %1")
                .arg(QLocale().toString(info.default_value, 'f', info.decimals));
        auto reason = new QLabel(
            QStringLiteral("%1%2 — %3")
                .arg(fallback, info.unit.isEmpty() ? QString() : QLatin1Char(' ') + info.unit,
                     info.reason));
        reason->setWordWrap(true);
        reason->setEnabled(false);
        grid->addWidget(label, row, 0);
        grid->addWidget(editor, row, 1);
        grid->addWidget(reason, row + 1, 0, 1, 3);
        editors.insert(info.key, editor);
    }
    auto buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                        QDialogButtonBox::RestoreDefaults);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this,
            &Test_Limits_Dialog::Restore_Defaults);
    auto layout = new QVBoxLayout(this);
    layout->addWidget(tabs, 1);
    layout->addWidget(buttons);
    resize(640, 480);
}

void Test_Limits_Dialog::Restore_Defaults()
{
    for (const Limit_Info& info : Test_Limits::Table())
        editors.value(info.key)->setValue(info.default_value);
}

void Test_Limits_Dialog::accept()
{
    for (const Limit_Info& info : Test_Limits::Table()) {
        const double value = editors.value(info.key)->value();
        // A value shown at the default's precision equals the default.
        if (qFuzzyCompare(value, editors.value(info.key)->valueFromText(
                                     editors.value(info.key)->textFromValue(info.default_value))))
            limits->Reset(info.key);
        else
            limits->Set_Value(info.key, value);
    }
    QDialog::accept();
}

} // namespace Diagnostics
