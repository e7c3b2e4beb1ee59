#include "traffic_model.h"

namespace Views {

Traffic_Model::Traffic_Model(QObject* parent) : QAbstractTableModel(parent) {}

void Traffic_Model::Append(const QVector<Traffic_Row>& rows)
{
    if (rows.isEmpty())
        return;
    const int kept_new = qMin(rows.size(), Max_Rows);
    const int excess = int(Rows.size()) + kept_new - Max_Rows;
    if (excess > 0) {
        const int drop = qMin(excess, int(Rows.size()));
        beginRemoveRows(QModelIndex(), 0, drop - 1);
        Rows.erase(Rows.begin(), Rows.begin() + drop);
        endRemoveRows();
    }
    const int first = int(Rows.size());
    beginInsertRows(QModelIndex(), first, first + kept_new - 1);
    Rows.insert(Rows.end(), rows.end() - kept_new, rows.end());
    endInsertRows();
}

void Traffic_Model::Clear()
{
    beginResetModel();
    Rows.clear();
    endResetModel();
}

QString Traffic_Model::Text(int row, int column) const
{
    const Traffic_Row& r = Row(row);
    switch (column) {
    case Time:
        return QString::number(r.t_s, 'f', 3);
    case Dir:
        return Direction_Name(r.direction);
    case Bytes:
        return Visible_Bytes(r.bytes);
    case Meaning:
        return r.note.isEmpty() ? Frame_Meaning(r.direction, r.bytes) : r.note;
    default:
        return QString();
    }
}

QString Traffic_Model::Row_Text(int row) const
{
    QStringList fields;
    for (int column = 0; column < Column_Count; ++column)
        fields << Text(row, column);
    return fields.join(QLatin1Char('\t'));
}

int Traffic_Model::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(Rows.size());
}

int Traffic_Model::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Column_Count;
}

QVariant Traffic_Model::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return QVariant();
    return Text(index.row(), index.column());
}

QVariant Traffic_Model::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const titles[] = {"Time (s)", "Direction", "Bytes", "Meaning"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= Column_Count)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QLatin1String(titles[section]);
}

void Traffic_Filter::Set_Code(const QString& code)
{
    Code = code.trimmed();
    invalidateFilter();
}

void Traffic_Filter::Set_Direction(int direction)
{
    Wanted_Direction = direction;
    invalidateFilter();
}

bool Traffic_Filter::filterAcceptsRow(int source_row, const QModelIndex&) const
{
    const auto model = static_cast<const Traffic_Model*>(sourceModel());
    const Traffic_Row& row = model->Row(source_row);
    if (Wanted_Direction >= 0 && int(row.direction) != Wanted_Direction)
        return false;
    if (Code.isEmpty())
        return true;
    const QString code = row.code.isEmpty() ? Frame_Code(row.direction, row.bytes) : row.code;
    return code.compare(Code, Qt::CaseInsensitive) == 0;
}

} // namespace Views
