#ifndef APP_VIEWS_RECORDED_TRAFFIC_MODEL_H
#define APP_VIEWS_RECORDED_TRAFFIC_MODEL_H

#include "traffic_table.h"

#include <session_reader.h>

#include <QTimer>

#include <list>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace Views {

// A recording's whole traffic, its frames and its events in time order, read
// from the file as the view asks for rows, a block at a time, with the last
// blocks read kept. Opening reads only the events; the places of every
// Block_Rows-th frame are then found a slice at a time while the interface
// waits for input, and the rows join the table as their places are known,
// so that a one-hour recording shows at once and can be scrolled anywhere
// a moment later. Used by the interface thread only.
class Recorded_Traffic_Model : public Traffic_Table
{
    Q_OBJECT

public:
    static constexpr int Block_Rows = 256;
    static constexpr int Slice_Rows = 25000;
    static constexpr int Kept_Blocks = 64;

    explicit Recorded_Traffic_Model(QObject* parent = nullptr);
    ~Recorded_Traffic_Model() override;

    // False with the reader's reason in *error.
    bool Open(const QString& file, QString* error);
    void Close();
    bool Is_Open() const { return Reader != nullptr; }
    bool Is_Indexed() const { return Indexed; }
    // Finds the places of the rows left now.
    void Index_All();
    // Shows only the rows CHOICE accepts, found again from the start of the
    // file a slice at a time, as at opening; kept for the next recording.
    void Choose(const Row_Choice& choice);
    const Row_Choice& Choice() const { return Chosen; }

    Traffic_Row Row(int row) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;

signals:
    void Index_Done();

private:
    struct Event_Row
    {
        qint64 position = 0;
        Traffic_Row row;
    };
    bool index_slice();
    // Forgets the places of the rows found; the model is reset around it.
    void forget_places();
    // Starts finding the places of the rows from the file's start.
    void start_index();
    void place_events_before(const Recording::Traffic_Key* key);
    const std::vector<Traffic_Row>& block(qint64 number) const;

    std::unique_ptr<Recording::Reader> Reader;
    Row_Choice Chosen;
    // The key of every Block_Rows-th frame in time order, when all are shown.
    std::vector<Recording::Traffic_Key> Marks;
    // The rowid of every frame shown, when a choice is made.
    std::vector<std::int64_t> Chosen_Rows;
    // The last row looked at, the next slice's start.
    std::optional<Recording::Traffic_Key> Last_Key;
    qint64 Frames = 0;
    bool Indexed = true;
    std::vector<Event_Row> All_Events;
    // Those of All_Events the choice accepts.
    std::vector<Event_Row> Events;
    std::size_t Placed = 0;
    QTimer Slicer;
    // The blocks read last, the newest first.
    mutable std::list<std::pair<qint64, std::vector<Traffic_Row>>> Blocks;
};

} // namespace Views

#endif // APP_VIEWS_RECORDED_TRAFFIC_MODEL_H
