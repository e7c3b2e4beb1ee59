#ifndef APP_VIEWS_TRAFFIC_TABLE_H
#define APP_VIEWS_TRAFFIC_TABLE_H

#include "frame_text.h"

#include <QAbstractTableModel>
#include <QFont>

namespace Views {

enum class Row_Kind
{
    Frame,
    Timeout,
    Event
};

struct Traffic_Row
{
    double t_s = 0;
    Direction direction = Direction::Request;
    QByteArray bytes;
    // Set where the bytes do not say it all: a time-out's request, an
    // event's text, a row cut short.
    QString note;
    // A time-out's request code; an event's kind.
    QString code;
    Row_Kind kind = Row_Kind::Frame;
    // A time-out: how often its request was sent; 0 where nobody counted.
    int sends = 0;
    // The row's whole size where more came than the bytes hold.
    qint64 length = 0;
};

// The rows the technician asked to see: those of one command code, of one
// direction, or all. Time-outs and events go with the frames of their code;
// with a direction chosen, only frames are shown.
struct Row_Choice
{
    // Empty for every code; matched case-insensitively.
    QString code;
    // -1 for every direction.
    int direction = -1;

    bool Is_Choosing() const { return !code.isEmpty() || direction >= 0; }
    bool Accepts(const Traffic_Row& row) const;
    bool operator==(const Row_Choice& other) const
    {
        return code == other.code && direction == other.direction;
    }
};

// The traffic monitor's table, over rows kept in memory or read on demand:
// the texts, colours and look-ups of a row are the same for both.
// The font of bytes: one of fixed width, where the desktop names none.
QFont Bytes_Font();

class Traffic_Table : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        Time,
        Delta,
        Dir,
        Bytes,
        Meaning,
        Column_Count
    };
    // The row's time in seconds, for every column.
    static constexpr int Time_Role = Qt::UserRole + 1;

    using QAbstractTableModel::QAbstractTableModel;

    virtual Traffic_Row Row(int row) const = 0;
    QString Text(int row, int column) const;
    // Time, time since the row before, direction, bytes and meaning,
    // separated by tabs.
    QString Row_Text(int row) const;
    // The row's command code, its bytes or its meaning holds TEXT.
    bool Matches(int row, const QString& text) const;
    // A request whose own time-out follows before any answer to it.
    bool Is_Unanswered(int row) const;

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    int sends_before(int row, const QString& code) const;
};

} // namespace Views

#endif // APP_VIEWS_TRAFFIC_TABLE_H
