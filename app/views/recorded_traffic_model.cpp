#include "recorded_traffic_model.h"

#include <QFile>

#include <algorithm>
#include <climits>

namespace Views {

namespace {

Direction direction_of(Recording::Direction d)
{
    switch (d) {
    case Recording::Direction::Tx:
        return Direction::Request;
    case Recording::Direction::Rx:
        return Direction::Answer;
    case Recording::Direction::Noise:
    case Recording::Direction::Other:
        break;
    }
    return Direction::Noise;
}

Traffic_Row event_row(const Recording::Event& e)
{
    Traffic_Row row;
    row.t_s = double(e.t_us) / 1e6;
    // No more of a damaged file's text than of a frame.
    const QString text = QString::fromStdString(e.text.substr(0, Recording::Max_Row_Bytes));
    // A time-out's text is the request that went unanswered.
    if (e.kind == "timeout") {
        row.kind = Row_Kind::Timeout;
        row.bytes = text.toLatin1();
        row.code = Frame_Code(Direction::Request, row.bytes);
        row.note = Frame_Meaning(Direction::Request, row.bytes);
    } else {
        row.kind = Row_Kind::Event;
        row.code = QString::fromStdString(e.kind);
        row.note = text;
    }
    return row;
}

Traffic_Row frame_row(const Recording::Traffic& t)
{
    Traffic_Row row;
    row.t_s = double(t.t_us) / 1e6;
    row.direction = direction_of(t.direction);
    row.bytes = QByteArray(t.bytes.data(), int(t.bytes.size()));
    row.length = t.length;
    return row;
}

} // namespace

Recorded_Traffic_Model::Recorded_Traffic_Model(QObject* parent) : Traffic_Table(parent)
{
    // Between slices the interface answers the technician.
    Slicer.setInterval(0);
    connect(&Slicer, &QTimer::timeout, this, [this] {
        if (!index_slice()) {
            Slicer.stop();
            emit Index_Done();
        }
    });
}

Recorded_Traffic_Model::~Recorded_Traffic_Model() = default;

bool Recorded_Traffic_Model::Open(const QString& file, QString* error)
{
    Close();
    auto reader = std::make_unique<Recording::Reader>();
    std::vector<Event_Row> events;
    const bool ok = reader->open(QFile::encodeName(file).toStdString()) &&
                    reader->events([&](const Recording::Event& e) {
                        events.push_back({0, event_row(e)});
                        return true;
                    });
    if (!ok) {
        *error = QString::fromStdString(reader->error());
        return false;
    }
    Reader = std::move(reader);
    All_Events = std::move(events);
    start_index();
    return true;
}

void Recorded_Traffic_Model::Choose(const Row_Choice& choice)
{
    if (choice == Chosen)
        return;
    Chosen = choice;
    if (Reader)
        start_index();
}

void Recorded_Traffic_Model::forget_places()
{
    Marks.clear();
    Chosen_Rows.clear();
    Last_Key.reset();
    Frames = 0;
    Events.clear();
    Placed = 0;
    Blocks.clear();
}

void Recorded_Traffic_Model::start_index()
{
    beginResetModel();
    forget_places();
    for (const Event_Row& e : All_Events)
        if (Chosen.Accepts(e.row))
            Events.push_back(e);
    Indexed = false;
    endResetModel();
    Slicer.start();
}

void Recorded_Traffic_Model::Close()
{
    beginResetModel();
    Slicer.stop();
    Reader.reset();
    All_Events.clear();
    forget_places();
    Indexed = true;
    endResetModel();
}

void Recorded_Traffic_Model::Index_All()
{
    while (index_slice()) {
    }
    if (Slicer.isActive()) {
        Slicer.stop();
        emit Index_Done();
    }
}

void Recorded_Traffic_Model::place_events_before(const Recording::Traffic_Key* key)
{
    // An event goes after the frames of its own time: it follows them.
    const double t_s = key ? (key->is_real ? key->t_real : double(key->t_us)) / 1e6 : 0;
    while (Placed < Events.size() && (!key || Events[Placed].row.t_s < t_s)) {
        Events[Placed].position = Frames + qint64(Placed);
        ++Placed;
    }
}

bool Recorded_Traffic_Model::index_slice()
{
    if (Indexed || !Reader)
        return false;
    const int before = rowCount();
    const Recording::Traffic_Key* after = Last_Key ? &*Last_Key : nullptr;
    qint64 found = 0;
    const auto look = [&](const Recording::Traffic_Key& key, bool shown) {
        ++found;
        Last_Key = key;
        if (shown) {
            place_events_before(&key);
            ++Frames;
        }
        return true;
    };
    // A choice reads the rows themselves, a slice of them at a time however
    // few it keeps; all rows need only the time index.
    const bool ok =
        Chosen.Is_Choosing()
            ? Reader->traffic_after(
                  after, Slice_Rows,
                  [&](const Recording::Traffic_Key& key, const Recording::Traffic& t) {
                      const bool shown = Chosen.Accepts(frame_row(t));
                      if (shown)
                          Chosen_Rows.push_back(key.row);
                      return look(key, shown);
                  })
            : Reader->traffic_keys(after, Slice_Rows, [&](const Recording::Traffic_Key& key) {
                  if (Frames % Block_Rows == 0)
                      Marks.push_back(key);
                  return look(key, true);
              });
    // A file that fails part way shows what was read before.
    if (!ok || found < Slice_Rows) {
        place_events_before(nullptr);
        Indexed = true;
    }
    if (rowCount() > before) {
        beginInsertRows(QModelIndex(), before, rowCount() - 1);
        endInsertRows();
    }
    return !Indexed;
}

const std::vector<Traffic_Row>& Recorded_Traffic_Model::block(qint64 number) const
{
    for (auto it = Blocks.begin(); it != Blocks.end(); ++it) {
        if (it->first == number) {
            Blocks.splice(Blocks.begin(), Blocks, it);
            return Blocks.front().second;
        }
    }
    std::vector<Traffic_Row> rows;
    rows.reserve(Block_Rows);
    const auto add = [&](const Recording::Traffic& t) {
        rows.push_back(frame_row(t));
        return true;
    };
    if (Reader && Chosen.Is_Choosing()) {
        const qint64 from = number * Block_Rows;
        if (number >= 0 && from < qint64(Chosen_Rows.size())) {
            const auto begin = Chosen_Rows.begin() + std::ptrdiff_t(from);
            const auto end =
                Chosen_Rows.begin() +
                std::ptrdiff_t(std::min<qint64>(from + Block_Rows, Chosen_Rows.size()));
            Reader->traffic_rows({begin, end}, add);
        }
    } else if (Reader && number >= 0 && number < qint64(Marks.size())) {
        Reader->traffic_from(Marks[size_t(number)], Block_Rows, add);
    }
    if (Blocks.size() >= Kept_Blocks)
        Blocks.pop_back();
    Blocks.emplace_front(number, std::move(rows));
    return Blocks.front().second;
}

Traffic_Row Recorded_Traffic_Model::Row(int row) const
{
    // The events placed before this row, and whether it is one.
    const auto placed = Events.begin() + std::ptrdiff_t(Placed);
    const auto at = std::lower_bound(Events.begin(), placed, qint64(row),
                                     [](const Event_Row& e, qint64 r) { return e.position < r; });
    if (at != placed && at->position == row)
        return at->row;
    const qint64 frame = row - qint64(at - Events.begin());
    const std::vector<Traffic_Row>& rows = block(frame / Block_Rows);
    const auto in_block = size_t(frame % Block_Rows);
    return in_block < rows.size() ? rows[in_block] : Traffic_Row();
}

int Recorded_Traffic_Model::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    // No more rows than a view can count.
    return int(std::min<qint64>(Frames + qint64(Placed), INT_MAX));
}

} // namespace Views
