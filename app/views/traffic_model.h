#ifndef APP_VIEWS_TRAFFIC_MODEL_H
#define APP_VIEWS_TRAFFIC_MODEL_H

#include "frame_text.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>

#include <deque>

namespace Views {

struct Traffic_Row
{
    double t_s = 0;
    Direction direction = Direction::Request;
    QByteArray bytes;
    // Set where the bytes do not say it all: a time-out, with the code of
    // the request that went unanswered.
    QString note;
    QString code;
};

// The last rows of traffic, appended a batch at a time: one insertion per
// batch, however many frames it holds, so that the view keeps up with the
// line. Texts are made only for the rows a view asks for.
class Traffic_Model : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        Time,
        Dir,
        Bytes,
        Meaning,
        Column_Count
    };
    static constexpr int Max_Rows = 10000;

    explicit Traffic_Model(QObject* parent = nullptr);

    void Append(const QVector<Traffic_Row>& rows);
    void Clear();
    const Traffic_Row& Row(int row) const { return Rows[size_t(row)]; }
    QString Text(int row, int column) const;
    // Time, direction, bytes and meaning, separated by tabs.
    QString Row_Text(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::deque<Traffic_Row> Rows;
};

// Shows the rows of one command code and one direction, or of all.
class Traffic_Filter : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    // Empty for every code; matched case-insensitively.
    void Set_Code(const QString& code);
    // -1 for every direction.
    void Set_Direction(int direction);

protected:
    bool filterAcceptsRow(int source_row, const QModelIndex& source_parent) const override;

private:
    QString Code;
    int Wanted_Direction = -1;
};

} // namespace Views

#endif // APP_VIEWS_TRAFFIC_MODEL_H
