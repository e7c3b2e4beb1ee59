#ifndef APP_VIEWS_TRAFFIC_DOCK_H
#define APP_VIEWS_TRAFFIC_DOCK_H

#include "line_tap.h"
#include "recorded_traffic_model.h"
#include "traffic_model.h"

#include <QDockWidget>
#include <QHash>

#include <functional>

class QCheckBox;
class QLabel;
class QTimer;
class QLineEdit;
class QTableView;

namespace Views {

// The traffic monitor: one row per frame on the line, time-out and event,
// live or of a whole recording, filtered by code and direction, with find,
// pause, copy and save.
class Traffic_Dock : public QDockWidget
{
    Q_OBJECT

public:
    explicit Traffic_Dock(QWidget* parent = nullptr);

    // Live frames from the line tap; held back while paused.
    void Add_Frames(const QVector<Line_Frame>& frames);
    // A recording's traffic in place of what is shown, read as it is
    // scrolled; false with the reason in *error, showing what it did.
    bool Show_Recording(const QString& file, QString* error);
    // Back to the line, empty.
    void Clear();
    void Set_Paused(bool paused);
    Traffic_Model* Model() const { return Rows; }
    Recorded_Traffic_Model* Recorded() const { return Recording; }
    // The rows on show: the line's or the recording's.
    Traffic_Table* Source() const;
    Traffic_Filter* Filter() const { return Shown; }
    QTableView* View() const { return Table; }
    // Shown on the screen, as its last visibilityChanged said.
    bool Is_Shown() const { return On_Screen; }
    // The rows selected, as text, one a line.
    QString Selected_Text() const;
    // Writes the rows shown, as text, a line at a time; PROGRESS is told the
    // rows written and the rows in all, and stops the saving, with nothing
    // written, by returning false.
    bool Save_Shown(const QString& file, QString* error,
                    const std::function<bool(int done, int count)>& progress = {}) const;
    // Selects the next shown row after the current one, or the one before,
    // whose code, bytes or meaning holds TEXT, going round at the end; false
    // when none does.
    bool Find(const QString& text, bool forward);
    // The same, a slice of rows at a time while the interface answers the
    // technician; the status beside the field tells how it ends.
    void Start_Find(const QString& text, bool forward);
    bool Is_Finding() const;
    // Live rows reach the table at most this often; 0 shows each batch at
    // once.
    void Set_Refresh_Interval(int ms);

signals:
    void Row_Time_Selected(double t_s);

public slots:
    void Select_Nearest(double t_s);
    void Copy_Selection();
    void Save_Dialog();

private:
    void append(const QVector<Traffic_Row>& rows);
    // Moves the waiting rows into the table, and starts the next refresh's
    // wait.
    void show_waiting();
    // The row of Source() at view row ROW.
    int source_row(int row) const;
    void show_source(Traffic_Table* source);
    void update_view();
    void begin_find(const QString& text, bool forward);
    // Looks at up to LIMIT more rows; true once the find has ended.
    bool find_step(int limit);
    void end_find(const QString& status);

    Traffic_Model* Rows;
    Recorded_Traffic_Model* Recording;
    Traffic_Filter* Shown;
    QTableView* Table;
    QCheckBox* Pause;
    QLineEdit* Find_Text;
    QLabel* Find_Status;
    QTimer* Finder;
    struct Search
    {
        QString text;
        bool forward = true;
        int row = 0;
        int left = 0;
        bool found = false;
    } Finding;
    // Live rows not in the table yet: held while paused, or waiting for the
    // table's next refresh.
    QVector<Traffic_Row> Waiting;
    QTimer* Refresh;
    // Sends of each request since its last answer, for "time-out after N sends".
    QHash<QByteArray, int> Sends;
    bool On_Screen = false;
    // Set while the dock itself moves the selection to a time.
    bool Following = false;
};

} // namespace Views

#endif // APP_VIEWS_TRAFFIC_DOCK_H
