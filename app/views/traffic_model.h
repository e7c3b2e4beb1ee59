#ifndef APP_VIEWS_TRAFFIC_MODEL_H
#define APP_VIEWS_TRAFFIC_MODEL_H

#include "traffic_table.h"

#include <QSortFilterProxyModel>

#include <deque>

namespace Views {

// The last rows of live traffic, appended a batch at a time: one insertion
// per batch, however many frames it holds, so that the view keeps up with
// the line. Bytes of noise that come one after another are one row, however
// many pieces the receiver dropped them in. Texts are made only for the rows
// a view asks for.
class Traffic_Model : public Traffic_Table
{
    Q_OBJECT

public:
    static constexpr int Max_Rows = 100000;

    explicit Traffic_Model(QObject* parent = nullptr);

    void Append(QVector<Traffic_Row> rows);
    void Clear();
    Traffic_Row Row(int row) const override { return Rows[size_t(row)]; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;

private:
    std::deque<Traffic_Row> Rows;
};

// Shows the rows of one command code and one direction, or of all.
class Traffic_Filter : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void Set_Code(const QString& code);
    void Set_Direction(int direction);
    const Row_Choice& Choice() const { return Chosen; }

protected:
    bool filterAcceptsRow(int source_row, const QModelIndex& source_parent) const override;

private:
    Row_Choice Chosen;
};

} // namespace Views

#endif // APP_VIEWS_TRAFFIC_MODEL_H
