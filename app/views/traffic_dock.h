#ifndef APP_VIEWS_TRAFFIC_DOCK_H
#define APP_VIEWS_TRAFFIC_DOCK_H

#include "line_tap.h"
#include "traffic_model.h"

#include <QDockWidget>
#include <QHash>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QTableView;

namespace Views {

// The traffic monitor: one row per frame on the line, filtered by code and
// direction, with pause, copy and save.
class Traffic_Dock : public QDockWidget
{
    Q_OBJECT

public:
    explicit Traffic_Dock(QWidget* parent = nullptr);

    // Live frames from the line tap; held back while paused.
    void Add_Frames(const QVector<Line_Frame>& frames);
    // A recording's traffic in place of what is shown.
    void Show_Rows(const QVector<Traffic_Row>& rows);
    void Clear();
    void Set_Paused(bool paused);
    Traffic_Model* Model() const { return Rows; }
    Traffic_Filter* Filter() const { return Shown; }
    QTableView* View() const { return Table; }
    // Shown on the screen, as its last visibilityChanged said.
    bool Is_Shown() const { return On_Screen; }
    // The rows shown, as text, one a line.
    QString Shown_Text(bool selected_only) const;
    bool Save_Shown(const QString& file, QString* error) const;

public slots:
    void Copy_Selection();
    void Save_Dialog();

private:
    void append(const QVector<Traffic_Row>& rows);

    Traffic_Model* Rows;
    Traffic_Filter* Shown;
    QTableView* Table;
    QCheckBox* Pause;
    QVector<Traffic_Row> Held;
    // Sends of each request since its last answer, for "time-out after N sends".
    QHash<QByteArray, int> Sends;
    bool On_Screen = false;
};

} // namespace Views

#endif // APP_VIEWS_TRAFFIC_DOCK_H
