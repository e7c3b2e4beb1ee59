// The suspension heights table and the lever length editor: the
// texts of the two-by-two table, its faulted sides, the editor's validation,
// and the lever length kept in the application's settings, which the test
// main points at a temporary home.

#include "app_test_main.h"

#include "lever_length_form.h"
#include "suspension_heights_class.h"

#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>

namespace {

const QString Degree = QStringLiteral("\u00B0");

QImage resource_image(const QString& resource)
{
    return QPixmap(resource).toImage();
}

QImage shown(const QLabel* label)
{
    return label->pixmap(Qt::ReturnByValue).toImage();
}

} // namespace

class Heights_And_Lever_Length : public QObject
{
    Q_OBJECT

private slots:
    void init();

    // Suspension_Heights_Class
    void table_starts_invalid_and_fitted();
    void angle_and_distance_texts_data();
    void angle_and_distance_texts();
    void unchanged_angle_redrawn_only_for_new_lever_length();
    void faulted_side_ignores_angles_until_valid_again();
    void faulted_side_keeps_fault_through_lever_length();
    void no_lever_length_shows_invalid_distance();

    // Lever_Length_Form
    void form_widgets();
    void entry_validation_and_images();
    void validator_refuses_impossible_keys();
    void entry_value_cut_to_one_decimal_data();
    void entry_value_cut_to_one_decimal();
    void factory_button_fills_in_without_saving();
    void enter_saves_into_settings();
    void leaving_the_field_saves();
    void load_absent_key_gives_factory_standard();
    void load_stored_values_data();
    void load_stored_values();
    void loaded_value_reaches_the_tables();

private:
    Suspension_Heights_Class* table(QWidget* parent);
    static QString cell(const Suspension_Heights_Class& t, int row, int column)
    {
        return t.item(row, column)->text();
    }
    static QColor colour(const Suspension_Heights_Class& t, int row, int column)
    {
        return t.item(row, column)->foreground().color();
    }
};

void Heights_And_Lever_Length::init()
{
    QSettings().remove(QStringLiteral("System/ll"));
}

void Heights_And_Lever_Length::table_starts_invalid_and_fitted()
{
    QFont font;
    font.setPointSize(14);
    QWidget window;
    Suspension_Heights_Class& t = *new Suspension_Heights_Class(font, &window);
    QCOMPARE(t.rowCount(), 2);
    QCOMPARE(t.columnCount(), 2);
    QCOMPARE(t.horizontalHeaderItem(0)->text(), QStringLiteral("Driver"));
    QCOMPARE(t.horizontalHeaderItem(1)->text(), QStringLiteral("Curb"));
    QCOMPARE(t.verticalHeaderItem(0)->text(), QStringLiteral("Angle"));
    QCOMPARE(t.verticalHeaderItem(1)->text(), QStringLiteral("Distance"));
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column) {
            QCOMPARE(cell(t, row, column), QStringLiteral("Invalid"));
            QCOMPARE(t.item(row, column)->flags(), Qt::ItemFlags(Qt::ItemIsEnabled));
        }
    }
    QCOMPARE(t.font().pointSize(), 14);
    QCOMPARE(t.selectionMode(), QAbstractItemView::NoSelection);
    QCOMPARE(t.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(t.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QVERIFY(!t.horizontalHeader()->highlightSections());
    QVERIFY(!t.verticalHeader()->highlightSections());

    // Fixed to its contents: shown, nothing is cut off.
    QCOMPARE(t.minimumSize(), t.maximumSize());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect cells = t.viewport()->rect();
    QVERIFY(cells.width() >= t.horizontalHeader()->length());
    QVERIFY(cells.height() >= t.verticalHeader()->length());

    // A longer text widens its column and the widget with it.
    const int width = t.width();
    t.lever_length_changed(6.0);
    t.curb_angle_changed(-123.4);
    QVERIFY(t.width() > width);
    QCOMPARE(t.minimumSize(), t.maximumSize());
}

void Heights_And_Lever_Length::angle_and_distance_texts_data()
{
    QTest::addColumn<double>("angle");
    QTest::addColumn<double>("lever");
    QTest::addColumn<QString>("angle_text");
    QTest::addColumn<QString>("distance_text");
    QTest::newRow("30 degrees, 6 inch lever") << 30.0 << 6.0 << "30.0" + Degree << "3.0\"";
    QTest::newRow("12.5 degrees") << 12.5 << 6.0 << "12.5" + Degree << "1.3\"";
    QTest::newRow("negative") << -30.0 << 8.0 << "-30.0" + Degree << "-4.0\"";
    QTest::newRow("rounded to one decimal") << 7.26 << 3.0 << "7.3" + Degree << "0.4\"";
    QTest::newRow("zero") << 0.0 << 6.0 << "0.0" + Degree << "0.0\"";
}

void Heights_And_Lever_Length::angle_and_distance_texts()
{
    QFETCH(double, angle);
    QFETCH(double, lever);
    QFETCH(QString, angle_text);
    QFETCH(QString, distance_text);

    Suspension_Heights_Class t{QFont()};
    t.lever_length_changed(lever);
    t.curb_angle_changed(angle);
    QCOMPARE(cell(t, 0, 1), angle_text);
    QCOMPARE(cell(t, 1, 1), distance_text);
    QCOMPARE(t.Curb_Angle(), angle);
    // The other side is untouched until its own angle arrives.
    QCOMPARE(cell(t, 0, 0), QStringLiteral("0.0") + Degree);
    t.driver_angle_changed(angle);
    QCOMPARE(cell(t, 0, 0), angle_text);
    QCOMPARE(cell(t, 1, 0), distance_text);
}

void Heights_And_Lever_Length::unchanged_angle_redrawn_only_for_new_lever_length()
{
    Suspension_Heights_Class t{QFont()};
    t.lever_length_changed(6.0);
    t.curb_angle_changed(30.0);
    t.driver_angle_changed(30.0);
    // Marks in the cells show whether the table writes them again.
    t.item(0, 1)->setText(QStringLiteral("mark"));
    t.item(1, 0)->setText(QStringLiteral("mark"));
    t.curb_angle_changed(30.0);
    t.driver_angle_changed(30.0);
    QCOMPARE(cell(t, 0, 1), QStringLiteral("mark"));
    QCOMPARE(cell(t, 1, 0), QStringLiteral("mark"));

    t.lever_length_changed(4.0);
    QCOMPARE(t.Lever_Length(), 4.0);
    QCOMPARE(cell(t, 0, 1), QStringLiteral("30.0") + Degree);
    QCOMPARE(cell(t, 1, 1), QStringLiteral("2.0\""));
    QCOMPARE(cell(t, 0, 0), QStringLiteral("30.0") + Degree);
    QCOMPARE(cell(t, 1, 0), QStringLiteral("2.0\""));
}

void Heights_And_Lever_Length::faulted_side_ignores_angles_until_valid_again()
{
    Suspension_Heights_Class t{QFont()};
    t.lever_length_changed(6.0);
    t.curb_angle_changed(30.0);
    t.driver_angle_changed(10.0);

    t.curb_valid_changed(false);
    QVERIFY(!t.Curb_Valid());
    QCOMPARE(cell(t, 0, 1), QStringLiteral("Faulted"));
    QCOMPARE(cell(t, 1, 1), QString());
    QCOMPARE(colour(t, 0, 1), QColor(QStringLiteral("orangered")));
    // The driver's side goes on.
    QCOMPARE(cell(t, 0, 0), QStringLiteral("10.0") + Degree);

    t.curb_angle_changed(-5.0);
    QCOMPARE(cell(t, 0, 1), QStringLiteral("Faulted"));
    QCOMPARE(t.Curb_Angle(), 30.0);
    t.curb_valid_changed(false); // no change
    QCOMPARE(cell(t, 0, 1), QStringLiteral("Faulted"));

    t.curb_valid_changed(true);
    QCOMPARE(cell(t, 0, 1), QStringLiteral("30.0") + Degree);
    QCOMPARE(cell(t, 1, 1), QStringLiteral("3.0\""));
    QCOMPARE(colour(t, 0, 1), QColor(QStringLiteral("black")));
    t.curb_angle_changed(-5.0);
    QCOMPARE(cell(t, 0, 1), QStringLiteral("-5.0") + Degree);

    // The same for the driver's side.
    t.driver_valid_changed(false);
    QCOMPARE(cell(t, 0, 0), QStringLiteral("Faulted"));
    QCOMPARE(cell(t, 1, 0), QString());
    QCOMPARE(colour(t, 0, 0), QColor(QStringLiteral("orangered")));
    t.driver_angle_changed(20.0);
    QCOMPARE(cell(t, 0, 0), QStringLiteral("Faulted"));
    t.driver_valid_changed(true);
    QCOMPARE(cell(t, 0, 0), QStringLiteral("10.0") + Degree);
    QCOMPARE(colour(t, 0, 0), QColor(QStringLiteral("black")));
}

void Heights_And_Lever_Length::faulted_side_keeps_fault_through_lever_length()
{
    Suspension_Heights_Class t{QFont()};
    t.curb_angle_changed(30.0);
    t.driver_valid_changed(false);
    t.lever_length_changed(6.0);
    QCOMPARE(cell(t, 0, 0), QStringLiteral("Faulted"));
    QCOMPARE(cell(t, 1, 0), QString());
    QCOMPARE(cell(t, 1, 1), QStringLiteral("3.0\""));
}

void Heights_And_Lever_Length::no_lever_length_shows_invalid_distance()
{
    Suspension_Heights_Class t{QFont()};
    t.curb_angle_changed(30.0);
    QCOMPARE(cell(t, 0, 1), QStringLiteral("30.0") + Degree);
    QCOMPARE(cell(t, 1, 1), QStringLiteral("Invalid"));
    t.lever_length_changed(6.0);
    QCOMPARE(cell(t, 1, 1), QStringLiteral("3.0\""));
    t.lever_length_changed(-1.0);
    QCOMPARE(cell(t, 1, 1), QStringLiteral("Invalid"));
    QCOMPARE(cell(t, 0, 1), QStringLiteral("30.0") + Degree);
    QCOMPARE(Suspension_Heights_Class::Distance_Text(30.0, 0.0), QStringLiteral("Invalid"));
}

void Heights_And_Lever_Length::form_widgets()
{
    Lever_Length_Form form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Form"));
    auto edit = form.findChild<QLineEdit*>(QStringLiteral("lineEdit"));
    QVERIFY(edit);
    QCOMPARE(edit->font().pointSize(), 10);
    QCOMPARE(edit->maxLength(), 5);
    QCOMPARE(edit->alignment(), Qt::AlignCenter);
    QCOMPARE(edit->inputMask(), QString());
    QCOMPARE(edit->placeholderText(), QStringLiteral("Enter lever length here"));
    QCOMPARE(edit->toolTip(),
             QStringLiteral("<html><head/><body><p><span style=\" font-size:10pt;\">If the Lever "
                            "is not the factory standard length enter the actual lever length "
                            "here<br>Range is 3.0 to 8.0 inches</span></p></body></html>"));
    auto validator = qobject_cast<const QDoubleValidator*>(edit->validator());
    QVERIFY(validator);
    QCOMPARE(validator->bottom(), 3.0);
    QCOMPARE(validator->top(), 8.0);
    QCOMPARE(validator->decimals(), 1);
    QCOMPARE(validator->notation(), QDoubleValidator::StandardNotation);
    QCOMPARE(form.findChild<QPushButton*>(QStringLiteral("pbFactoryStd"))->text(),
             QStringLiteral("factory standard length"));
    QCOMPARE(form.findChild<QPushButton*>(QStringLiteral("btnSaveLL"))->text(),
             QStringLiteral("&Save"));
    QCOMPARE(form.findChild<QLabel*>(QStringLiteral("label"))->text(), QStringLiteral("Inches"));
    auto image = form.findChild<QLabel*>(QStringLiteral("lblValidityImage"));
    QVERIFY(image);
    QCOMPARE(image->text(), QString());
    QCOMPARE(image->toolTip(), QString());
    QCOMPARE(form.lever_length(), 0.0);
}

void Heights_And_Lever_Length::entry_validation_and_images()
{
    Lever_Length_Form form;
    form.load_lever_length();
    auto edit = form.findChild<QLineEdit*>(QStringLiteral("lineEdit"));
    auto save = form.findChild<QPushButton*>(QStringLiteral("btnSaveLL"));
    auto image = form.findChild<QLabel*>(QStringLiteral("lblValidityImage"));
    const QString tip = QStringLiteral(
        "<html><head/><body><p>Please enter a number from 3.0 to 8.0</p></body></html>");

    QCOMPARE(edit->text(), QStringLiteral("6.0"));
    QVERIFY(!save->isEnabled());
    QVERIFY(shown(image).isNull());

    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("7.5"));
    QCOMPARE(edit->text(), QStringLiteral("7.5"));
    QVERIFY(save->isEnabled());
    QCOMPARE(shown(image), resource_image(QStringLiteral(":/images/imgOk")));
    QCOMPARE(image->toolTip(), QString());

    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("6.0"));
    QVERIFY(!save->isEnabled());
    QVERIFY(shown(image).isNull());
    QCOMPARE(image->toolTip(), QString());

    for (const QString& out_of_range : {QStringLiteral("9"), QStringLiteral("2")}) {
        edit->clear();
        QTest::keyClicks(edit, out_of_range);
        QCOMPARE(edit->text(), out_of_range);
        QVERIFY(!save->isEnabled());
        QCOMPARE(shown(image), resource_image(QStringLiteral(":/images/imgWarning")));
        QCOMPARE(image->toolTip(), tip);
    }

    // Incomplete and empty entries are intermediate too.
    edit->clear();
    QVERIFY(!save->isEnabled());
    QCOMPARE(image->toolTip(), tip);

    // Nothing here saved anything.
    QCOMPARE(form.lever_length(), 6.0);
    QVERIFY(!QSettings().contains(QStringLiteral("System/ll")));
}

void Heights_And_Lever_Length::validator_refuses_impossible_keys()
{
    Lever_Length_Form form;
    form.load_lever_length();
    auto edit = form.findChild<QLineEdit*>(QStringLiteral("lineEdit"));
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("10"));
    QCOMPARE(edit->text(), QStringLiteral("1"));
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("x7.55"));
    QCOMPARE(edit->text(), QStringLiteral("7.5"));
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("-4"));
    QCOMPARE(edit->text(), QStringLiteral("4"));
}

void Heights_And_Lever_Length::entry_value_cut_to_one_decimal_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("one decimal") << "7.5" << 7.5;
    QTest::newRow("integer") << "4" << 4.0;
    QTest::newRow("cut, not rounded") << "7.59" << 7.5;
    QTest::newRow("every tenth survives") << "5.7" << 5.7;
    QTest::newRow("not a number") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
}

void Heights_And_Lever_Length::entry_value_cut_to_one_decimal()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    Lever_Length_Form form;
    form.findChild<QLineEdit*>(QStringLiteral("lineEdit"))->setText(text);
    QCOMPARE(form.entry_value(), value);
}

void Heights_And_Lever_Length::factory_button_fills_in_without_saving()
{
    QSettings().setValue(QStringLiteral("System/ll"), 7.5);
    Lever_Length_Form form;
    form.load_lever_length();
    QSignalSpy changed(&form, &Lever_Length_Form::lever_length_changed);
    auto edit = form.findChild<QLineEdit*>(QStringLiteral("lineEdit"));
    auto save = form.findChild<QPushButton*>(QStringLiteral("btnSaveLL"));
    auto image = form.findChild<QLabel*>(QStringLiteral("lblValidityImage"));
    QCOMPARE(edit->text(), QStringLiteral("7.5"));

    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("pbFactoryStd")), Qt::LeftButton);
    QCOMPARE(edit->text(), QStringLiteral("6.0"));
    QVERIFY(save->isEnabled());
    QCOMPARE(shown(image), resource_image(QStringLiteral(":/images/imgOk")));
    QCOMPARE(changed.count(), 0);
    QCOMPARE(form.lever_length(), 7.5);
    QCOMPARE(QSettings().value(QStringLiteral("System/ll")).toDouble(), 7.5);

    // The Save button saves it.
    QTest::mouseClick(save, Qt::LeftButton);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toDouble(), 6.0);
    QCOMPARE(QSettings().value(QStringLiteral("System/ll")).toDouble(), 6.0);
    QVERIFY(!save->isEnabled());
    QVERIFY(shown(image).isNull());
}

void Heights_And_Lever_Length::enter_saves_into_settings()
{
    Lever_Length_Form form;
    form.load_lever_length();
    QSignalSpy changed(&form, &Lever_Length_Form::lever_length_changed);
    auto edit = form.findChild<QLineEdit*>(QStringLiteral("lineEdit"));
    auto save = form.findChild<QPushButton*>(QStringLiteral("btnSaveLL"));

    // Enter on an entry out of range saves nothing.
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("9"));
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(changed.count(), 0);

    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("7.5"));
    QVERIFY(save->isEnabled());
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toDouble(), 7.5);
    QCOMPARE(form.lever_length(), 7.5);
    QVERIFY(!save->isEnabled());

    // Written at once, to the settings file under the temporary home only.
    QSettings settings;
    const QString file = settings.fileName();
    QVERIFY2(file.startsWith(QDir::homePath() + QLatin1Char('/')), qPrintable(file));
    QVERIFY(QDir::homePath() != QDir::rootPath());
    QVERIFY(file.endsWith(QStringLiteral("Corvane/Pelmar Interface.conf")));
    QFile written(file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray contents = written.readAll();
    QVERIFY2(contents.contains("[System]") && contents.contains("ll=7.5"), contents.constData());

    // A new form reads it back.
    Lever_Length_Form again;
    QSignalSpy loaded(&again, &Lever_Length_Form::lever_length_changed);
    again.load_lever_length();
    QCOMPARE(loaded.count(), 1);
    QCOMPARE(loaded.at(0).at(0).toDouble(), 7.5);
    QCOMPARE(again.findChild<QLineEdit*>(QStringLiteral("lineEdit"))->text(),
             QStringLiteral("7.5"));
}

void Heights_And_Lever_Length::leaving_the_field_saves()
{
    QWidget window;
    auto form = new Lever_Length_Form(&window);
    auto other = new QLineEdit(&window);
    other->move(0, 120);
    form->load_lever_length();
    QSignalSpy changed(form, &Lever_Length_Form::lever_length_changed);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));

    auto edit = form->findChild<QLineEdit*>(QStringLiteral("lineEdit"));
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("3.2"));
    other->setFocus();
    QTRY_VERIFY(other->hasFocus());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toDouble(), 3.2);
    QCOMPARE(QSettings().value(QStringLiteral("System/ll")).toDouble(), 3.2);
}

void Heights_And_Lever_Length::load_absent_key_gives_factory_standard()
{
    Lever_Length_Form form;
    QSignalSpy loaded(&form, &Lever_Length_Form::lever_length_changed);
    form.load_lever_length();
    QCOMPARE(loaded.count(), 1);
    QCOMPARE(loaded.at(0).at(0).toDouble(), 6.0);
    QCOMPARE(form.lever_length(), 6.0);
    QCOMPARE(form.findChild<QLineEdit*>(QStringLiteral("lineEdit"))->text(), QStringLiteral("6.0"));
    // Loading writes nothing.
    QVERIFY(!QSettings().contains(QStringLiteral("System/ll")));
}

void Heights_And_Lever_Length::load_stored_values_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("warning");
    QTest::newRow("in range") << QVariant(4.5) << 4.5 << "4.5" << false;
    QTest::newRow("as text") << QVariant(QStringLiteral("7.2")) << 7.2 << "7.2" << false;
    QTest::newRow("not a number") << QVariant(QStringLiteral("abc")) << 0.0 << "0.0" << true;
    QTest::newRow("out of range, unchecked") << QVariant(12.0) << 12.0 << "12.0" << false;
}

void Heights_And_Lever_Length::load_stored_values()
{
    QFETCH(QVariant, stored);
    QFETCH(double, value);
    QFETCH(QString, text);
    QFETCH(bool, warning);
    QSettings().setValue(QStringLiteral("System/ll"), stored);

    Lever_Length_Form form;
    QSignalSpy loaded(&form, &Lever_Length_Form::lever_length_changed);
    form.load_lever_length();
    QCOMPARE(loaded.count(), 1);
    QCOMPARE(loaded.at(0).at(0).toDouble(), value);
    QCOMPARE(form.lever_length(), value);
    QCOMPARE(form.findChild<QLineEdit*>(QStringLiteral("lineEdit"))->text(), text);
    auto image = form.findChild<QLabel*>(QStringLiteral("lblValidityImage"));
    QCOMPARE(!image->toolTip().isEmpty(), warning);
    QVERIFY(!form.findChild<QPushButton*>(QStringLiteral("btnSaveLL"))->isEnabled());
}

void Heights_And_Lever_Length::loaded_value_reaches_the_tables()
{
    // The main window's wiring: the editor's signal to every table, then a load.
    Lever_Length_Form form;
    Suspension_Heights_Class live{QFont()};
    Suspension_Heights_Class ride{QFont()};
    live.curb_angle_changed(30.0);
    ride.driver_angle_changed(-30.0);
    for (Suspension_Heights_Class* t : {&live, &ride})
        connect(&form, SIGNAL(lever_length_changed(double)), t, SLOT(lever_length_changed(double)));
    form.load_lever_length();
    QCOMPARE(live.Lever_Length(), 6.0);
    QCOMPARE(live.item(1, 1)->text(), QStringLiteral("3.0\""));
    QCOMPARE(ride.item(1, 0)->text(), QStringLiteral("-3.0\""));

    form.findChild<QLineEdit*>(QStringLiteral("lineEdit"))->setText(QStringLiteral("8.0"));
    form.btnSaveLL_Clicked();
    QCOMPARE(live.item(1, 1)->text(), QStringLiteral("4.0\""));
    QCOMPARE(ride.item(1, 0)->text(), QStringLiteral("-4.0\""));
}

VANTOR_TEST_MAIN(Heights_And_Lever_Length)
#include "tst_heights_and_lever_length.moc"
