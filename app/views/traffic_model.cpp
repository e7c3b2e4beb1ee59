#include "traffic_model.h"

#include <session_schema.h>

namespace Views {

namespace {

bool is_noise(const Traffic_Row& r)
{
    return r.kind == Row_Kind::Frame && r.direction == Direction::Noise;
}

// Noise joined to the noise row before it; a burst keeps at most as many
// bytes as a recording's row shows, and counts them all.
void join_noise(Traffic_Row* burst, const Traffic_Row& more)
{
    const qint64 whole = qMax(burst->length, qint64(burst->bytes.size())) +
                         qMax(more.length, qint64(more.bytes.size()));
    const int room = int(Recording::Max_Row_Bytes) - burst->bytes.size();
    if (room > 0)
        burst->bytes += more.bytes.left(room);
    burst->length = whole;
}

} // namespace

Traffic_Model::Traffic_Model(QObject* parent) : Traffic_Table(parent) {}

void Traffic_Model::Append(QVector<Traffic_Row> rows)
{
    if (rows.isEmpty())
        return;
    // Noise that continues the last row's.
    int first_new = 0;
    if (!Rows.empty() && is_noise(Rows.back())) {
        while (first_new < rows.size() && is_noise(rows[first_new]))
            join_noise(&Rows.back(), rows[first_new++]);
        if (first_new > 0) {
            const QModelIndex last = index(int(Rows.size()) - 1, Bytes);
            emit dataChanged(last, last.siblingAtColumn(Meaning));
        }
    }
    QVector<Traffic_Row> joined;
    joined.reserve(rows.size() - first_new);
    for (int i = first_new; i < rows.size(); ++i) {
        if (!joined.isEmpty() && is_noise(joined.last()) && is_noise(rows[i]))
            join_noise(&joined.last(), rows[i]);
        else
            joined.append(std::move(rows[i]));
    }
    if (joined.isEmpty())
        return;
    const int kept_new = qMin(joined.size(), Max_Rows);
    const int excess = int(Rows.size()) + kept_new - Max_Rows;
    if (excess > 0) {
        const int drop = qMin(excess, int(Rows.size()));
        beginRemoveRows(QModelIndex(), 0, drop - 1);
        Rows.erase(Rows.begin(), Rows.begin() + drop);
        endRemoveRows();
    }
    const int first = int(Rows.size());
    beginInsertRows(QModelIndex(), first, first + kept_new - 1);
    Rows.insert(Rows.end(), joined.end() - kept_new, joined.end());
    endInsertRows();
}

void Traffic_Model::Clear()
{
    beginResetModel();
    Rows.clear();
    endResetModel();
}

int Traffic_Model::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(Rows.size());
}

void Traffic_Filter::Set_Code(const QString& code)
{
    Chosen.code = code.trimmed();
    invalidateFilter();
}

void Traffic_Filter::Set_Direction(int direction)
{
    Chosen.direction = direction;
    invalidateFilter();
}

bool Traffic_Filter::filterAcceptsRow(int source_row, const QModelIndex&) const
{
    return Chosen.Accepts(static_cast<const Traffic_Table*>(sourceModel())->Row(source_row));
}

} // namespace Views
