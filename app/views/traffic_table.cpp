#include "traffic_table.h"

#include <QBrush>
#include <QColor>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHash>

namespace Views {

namespace {

// How far a request looks ahead for its answer or time-out, and a time-out
// back for its sends: a few polling rounds.
constexpr int Look_Rows = 64;

// Whether an answer ends a request: a value answer the get of its own code,
// a system answer any other request.
bool answers(const Traffic_Row& answer, const QByteArray& request)
{
    const QString code = Frame_Code(Direction::Answer, answer.bytes);
    const bool get = request.startsWith("get ");
    return code.isEmpty() ? !get : get && Frame_Code(Direction::Request, request) == code;
}

bool is_answer(const Traffic_Row& r)
{
    return r.kind == Row_Kind::Frame && r.direction == Direction::Answer;
}

// Tints from a palette told apart with every common colour blindness,
// translucent so that the text keeps the theme's own colour on light and
// dark desktops alike.
QColor tint(const Traffic_Row& r, bool unanswered)
{
    if (r.kind == Row_Kind::Timeout)
        return QColor(230, 159, 0, 110);
    if (unanswered)
        return QColor(213, 94, 0, 70);
    if (r.kind == Row_Kind::Event)
        return QColor(86, 180, 233, 80);
    if (r.direction == Direction::Noise)
        return QColor(204, 121, 167, 80);
    return QColor();
}

// A frame's meaning, decoded once for the bytes of all its repeats: a
// session asks the same few hundred things thousands of times, and a find
// reads every row. Used by the interface thread only.
QString meaning_of(Direction direction, const QByteArray& bytes)
{
    static QHash<QByteArray, QString> known;
    const QByteArray key = char('0' + int(direction)) + bytes;
    const auto it = known.constFind(key);
    if (it != known.constEnd())
        return *it;
    if (known.size() >= 100000)
        known.clear();
    return *known.insert(key, Frame_Meaning(direction, bytes));
}

} // namespace

QFont Bytes_Font()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (!QFontInfo(font).fixedPitch()) {
        font.setFamily(QStringLiteral("monospace"));
        font.setStyleHint(QFont::TypeWriter);
    }
    return font;
}

bool Row_Choice::Accepts(const Traffic_Row& row) const
{
    if (direction >= 0 && (row.kind != Row_Kind::Frame || int(row.direction) != direction))
        return false;
    if (code.isEmpty())
        return true;
    const QString of_row =
        row.kind == Row_Kind::Frame ? Frame_Code(row.direction, row.bytes) : row.code;
    return of_row.compare(code, Qt::CaseInsensitive) == 0;
}

int Traffic_Table::sends_before(int row, const QString& code) const
{
    int sends = 0;
    for (int i = row - 1; i >= 0 && i >= row - Look_Rows; --i) {
        const Traffic_Row r = Row(i);
        if (r.kind == Row_Kind::Timeout && r.code == code)
            break;
        if (r.kind != Row_Kind::Frame)
            continue;
        if (r.direction == Direction::Request && Frame_Code(r.direction, r.bytes) == code)
            ++sends;
        else if (is_answer(r) && Frame_Code(r.direction, r.bytes) == code)
            break;
    }
    return qMax(1, sends);
}

bool Traffic_Table::Is_Unanswered(int row) const
{
    const Traffic_Row request = Row(row);
    if (request.kind != Row_Kind::Frame || request.direction != Direction::Request)
        return false;
    const QString code = Frame_Code(request.direction, request.bytes);
    const int end = qMin(rowCount(), row + 1 + Look_Rows);
    for (int i = row + 1; i < end; ++i) {
        const Traffic_Row r = Row(i);
        if (is_answer(r) && answers(r, request.bytes))
            return false;
        if (r.kind == Row_Kind::Timeout && r.code == code)
            return true;
    }
    return false;
}

QString Traffic_Table::Text(int row, int column) const
{
    const Traffic_Row r = Row(row);
    const bool cut = r.length > r.bytes.size();
    switch (column) {
    case Time:
        return QString::number(r.t_s, 'f', 3);
    case Delta:
        return row > 0 ? QString::number((r.t_s - Row(row - 1).t_s) * 1000.0, 'f', 3) : QString();
    case Dir:
        if (r.kind == Row_Kind::Timeout)
            return QStringLiteral("time-out");
        if (r.kind == Row_Kind::Event)
            return QStringLiteral("event");
        return Is_Unanswered(row) ? QStringLiteral("request, unanswered")
                                  : Direction_Name(r.direction);
    case Bytes:
        if (r.kind != Row_Kind::Frame)
            return QString();
        return cut ? Visible_Bytes(r.bytes) + QStringLiteral(" ...") : Visible_Bytes(r.bytes);
    case Meaning:
        if (r.kind == Row_Kind::Timeout) {
            const int sends = r.sends > 0 ? r.sends : sends_before(row, r.code);
            return QStringLiteral("time-out after %1 send%2: %3")
                .arg(sends)
                .arg(sends == 1 ? "" : "s")
                .arg(r.note);
        }
        if (r.kind == Row_Kind::Event)
            return QString(r.code).replace(QLatin1Char('_'), QLatin1Char(' ')) +
                   (r.note.isEmpty() ? QString() : QStringLiteral(": ") + r.note);
        if (!r.note.isEmpty())
            return r.note;
        if (r.direction == Direction::Noise)
            return Noise_Text(qMax(r.length, qint64(r.bytes.size())));
        return cut ? meaning_of(r.direction, r.bytes) +
                         QStringLiteral(" ... (%1 bytes)").arg(r.length)
                   : meaning_of(r.direction, r.bytes);
    default:
        return QString();
    }
}

QString Traffic_Table::Row_Text(int row) const
{
    QStringList fields;
    for (int column = 0; column < Column_Count; ++column)
        fields << Text(row, column);
    return fields.join(QLatin1Char('\t'));
}

bool Traffic_Table::Matches(int row, const QString& text) const
{
    const Traffic_Row r = Row(row);
    if (r.code.compare(text, Qt::CaseInsensitive) == 0)
        return true;
    return Text(row, Bytes).contains(text, Qt::CaseInsensitive) ||
           Text(row, Meaning).contains(text, Qt::CaseInsensitive);
}

int Traffic_Table::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Column_Count;
}

QVariant Traffic_Table::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return Text(index.row(), column);
    case Qt::ToolTipRole:
        // Texts that may be wider than their column.
        return column >= Dir ? Text(index.row(), column) : QVariant();
    case Qt::FontRole: {
        static const QFont bytes = Bytes_Font();
        return column == Bytes ? bytes : QVariant();
    }
    case Qt::BackgroundRole: {
        const Traffic_Row r = Row(index.row());
        const bool request = r.kind == Row_Kind::Frame && r.direction == Direction::Request;
        const QColor colour = tint(r, request && Is_Unanswered(index.row()));
        return colour.isValid() ? QBrush(colour) : QVariant();
    }
    case Time_Role:
        return Row(index.row()).t_s;
    default:
        return QVariant();
    }
}

QVariant Traffic_Table::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const titles[] = {"Time (s)", "\u0394t (ms)", "Direction", "Bytes",
                                         "Meaning"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= Column_Count)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromUtf8(titles[section]);
}

} // namespace Views
