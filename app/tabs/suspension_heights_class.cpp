#include "suspension_heights_class.h"

#include <QColor>
#include <QHeaderView>
#include <QTableWidgetItem>

#include <cmath>

namespace {

const double Degrees_To_Radians = 0.017453292519943295;

QTableWidgetItem* new_cell()
{
    auto cell = new QTableWidgetItem(Suspension_Heights_Class::tr("Invalid"));
    cell->setFlags(Qt::ItemIsEnabled);
    return cell;
}

} // namespace

Suspension_Heights_Class::Suspension_Heights_Class(const QFont& font, QWidget* parent)
    : QTableWidget(parent), curb_angle_cell(new_cell()), driver_angle_cell(new_cell()),
      curb_distance_cell(new_cell()), driver_distance_cell(new_cell())
{
    setFont(font);
    setRowCount(2);
    setColumnCount(2);
    setHorizontalHeaderLabels({tr("Driver"), tr("Curb")});
    setVerticalHeaderLabels({tr("Angle"), tr("Distance")});
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setHighlightSections(false);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Display only: with the focus, Tab would walk its cells round and round
    // and never leave the table.
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    setItem(Angle_Row, Driver_Column, driver_angle_cell);
    setItem(Angle_Row, Curb_Column, curb_angle_cell);
    setItem(Distance_Row, Driver_Column, driver_distance_cell);
    setItem(Distance_Row, Curb_Column, curb_distance_cell);
    fit(Driver_Column);
    fit(Curb_Column);
}

QString Suspension_Heights_Class::Angle_Text(double angle)
{
    return QString::number(angle, 'f', 1) + QChar(0x00B0);
}

QString Suspension_Heights_Class::Distance_Text(double angle, double lever_length)
{
    if (lever_length <= 0.0)
        return tr("Invalid");
    const double distance = std::sin(angle * Degrees_To_Radians) * lever_length;
    return QString::number(distance, 'f', 1) + QLatin1Char('"');
}

void Suspension_Heights_Class::curb_valid_changed(bool _valid)
{
    valid_changed(true, _valid);
}

void Suspension_Heights_Class::driver_valid_changed(bool _valid)
{
    valid_changed(false, _valid);
}

void Suspension_Heights_Class::curb_angle_changed(double _curb_angle)
{
    angle_changed(true, _curb_angle);
}

void Suspension_Heights_Class::driver_angle_changed(double _driver_angle)
{
    angle_changed(false, _driver_angle);
}

void Suspension_Heights_Class::lever_length_changed(double lever_length)
{
    _refresh = true;
    _lever_length = lever_length;
    curb_angle_changed(_curb_angle);
    driver_angle_changed(_driver_angle);
    _refresh = false;
}

void Suspension_Heights_Class::angle_changed(bool curb, double angle)
{
    if (!(curb ? _curb_valid : _driver_valid))
        return;
    double& stored = curb ? _curb_angle : _driver_angle;
    if (!_refresh && angle == stored)
        return;
    stored = angle;
    (curb ? curb_angle_cell : driver_angle_cell)->setText(Angle_Text(angle));
    (curb ? curb_distance_cell : driver_distance_cell)
        ->setText(Distance_Text(angle, _lever_length));
    fit(curb ? Curb_Column : Driver_Column);
}

void Suspension_Heights_Class::valid_changed(bool curb, bool valid)
{
    bool& stored = curb ? _curb_valid : _driver_valid;
    if (valid == stored)
        return;
    stored = valid;
    QTableWidgetItem* angle_cell = curb ? curb_angle_cell : driver_angle_cell;
    if (valid) {
        _refresh = true;
        angle_changed(curb, curb ? _curb_angle : _driver_angle);
        _refresh = false;
        angle_cell->setForeground(QColor(QStringLiteral("black")));
        return;
    }
    angle_cell->setText(tr("Faulted"));
    (curb ? curb_distance_cell : driver_distance_cell)->setText(QString());
    angle_cell->setForeground(QColor(QStringLiteral("orangered")));
    fit(curb ? Curb_Column : Driver_Column);
}

void Suspension_Heights_Class::fit(int column)
{
    resizeColumnToContents(column);
    resizeRowsToContents();
    // The header sizes the view itself gives its headers (QTableView::updateGeometries),
    // known before the table is first shown.
    QHeaderView* rows = verticalHeader();
    QHeaderView* columns = horizontalHeader();
    const int header_width = qMax(rows->minimumWidth(), rows->sizeHint().width());
    const int header_height = qMax(columns->minimumHeight(), columns->sizeHint().height());
    setFixedSize(header_width + columns->length() + 2, header_height + rows->length() + 2);
}
