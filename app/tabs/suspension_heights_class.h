#ifndef SUSPENSION_HEIGHTS_CLASS_H
#define SUSPENSION_HEIGHTS_CLASS_H

#include <QFont>
#include <QTableWidget>

class QTableWidgetItem;

// A two-by-two table: for the driver's side (column 0) and the curb side
// (column 1), the lever angle in degrees (row 0) and the distance the lever
// end has moved (row 1), worked out from the angle and the lever length. The
// table sizes itself to its contents and never scrolls.
class Suspension_Heights_Class : public QTableWidget
{
    Q_OBJECT

public:
    explicit Suspension_Heights_Class(const QFont& font, QWidget* parent = nullptr);

    // Cells, for callers and tests that read what is shown.
    enum Row
    {
        Angle_Row = 0,
        Distance_Row = 1
    };
    enum Column
    {
        Driver_Column = 0,
        Curb_Column = 1
    };

    double Curb_Angle() const { return _curb_angle; }
    double Driver_Angle() const { return _driver_angle; }
    double Lever_Length() const { return _lever_length; }
    bool Curb_Valid() const { return _curb_valid; }
    bool Driver_Valid() const { return _driver_valid; }

    // "12.5°" and, for a lever length above 0, the distance with the inch sign.
    static QString Angle_Text(double angle);
    static QString Distance_Text(double angle, double lever_length);

public slots:
    void curb_valid_changed(bool _valid);
    void driver_valid_changed(bool _valid);
    void curb_angle_changed(double _curb_angle);
    void driver_angle_changed(double _driver_angle);
    void lever_length_changed(double _lever_length);

private:
    // Both sides share these; `curb` picks the side.
    void valid_changed(bool curb, bool valid);
    void angle_changed(bool curb, double angle);
    void fit(int column);

    bool _refresh = false;
    bool _curb_valid = true;
    bool _driver_valid = true;
    double _curb_angle = 0.0;
    double _driver_angle = 0.0;
    double _lever_length = 0.0;
    QTableWidgetItem* curb_angle_cell;
    QTableWidgetItem* driver_angle_cell;
    QTableWidgetItem* curb_distance_cell;
    QTableWidgetItem* driver_distance_cell;
};

#endif // SUSPENSION_HEIGHTS_CLASS_H
