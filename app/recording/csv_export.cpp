#include "csv_export.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>

#include <map>
#include <session_reader.h>

namespace Recording {

namespace {

// Seconds with microsecond precision, without going through a double.
QByteArray seconds(std::int64_t t_us)
{
    // Unsigned, so that the most negative time has a magnitude too.
    const quint64 whole = t_us < 0 ? 0 - quint64(t_us) : quint64(t_us);
    return (t_us < 0 ? "-" : "") + QByteArray::number(whole / 1000000) + '.' +
           QByteArray::number(whole % 1000000).rightJustified(6, '0');
}

// A spreadsheet runs a cell that begins like a formula: such a text gets a
// leading apostrophe, which it shows as text. Numbers are written apart.
bool looks_like_formula(char first)
{
    return first == '=' || first == '+' || first == '-' || first == '@' || first == '\t' ||
           first == '\r';
}

QByteArray text_field(QByteArray text)
{
    if (!text.isEmpty() && looks_like_formula(text[0]))
        text.prepend('\'');
    if (!text.contains(',') && !text.contains('"') && !text.contains('\n') && !text.contains('\r'))
        return text;
    return '"' + text.replace('"', "\"\"") + '"';
}

// The bytes as readable text: CR as \r, LF as \n, the backslash doubled and
// anything else outside printable ASCII as \xHH.
QByteArray printable(const char* bytes, std::size_t size)
{
    QByteArray text;
    for (std::size_t i = 0; i < size; ++i) {
        const char c = bytes[i];
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r')
            text += "\\r";
        else if (c == '\n')
            text += "\\n";
        else if (c == '\\')
            text += "\\\\";
        else if (byte < 0x20 || byte > 0x7e)
            text += "\\x" + QByteArray::number(byte, 16).toUpper().rightJustified(2, '0');
        else
            text += c;
    }
    return text;
}

QByteArray number(const Reading& r)
{
    if (!r.has_value)
        return QByteArray::number(qint64(r.raw));
    // The shortest text that reads back as the same double; never localised.
    return QString::number(r.value, 'g', QLocale::FloatingPointShortest).toLatin1();
}

bool write_readings(Reader& reader, QSaveFile& out)
{
    std::map<std::string, int, std::less<>> column;
    QByteArray header = "time_s";
    const std::vector<std::string> codes = reader.codes();
    if (!reader.error().empty())
        return false;
    for (const std::string& code : codes) {
        column.emplace(code, int(column.size()));
        header += ',' + text_field(QByteArray::fromStdString(code));
    }
    out.write(header + '\n');

    std::vector<QByteArray> cells;
    std::int64_t time = 0;
    const auto flush = [&] {
        if (cells.empty())
            return;
        QByteArray line = seconds(time);
        for (const QByteArray& cell : cells)
            line += ',' + cell;
        out.write(line + '\n');
    };
    const bool ok = reader.readings(Reader::Order::Time, [&](const Reading& r) {
        const auto found = column.find(r.code);
        if (found == column.end())
            return true;
        if (cells.empty() || r.t_us != time) {
            flush();
            time = r.t_us;
            cells.assign(column.size(), QByteArray());
        }
        cells[size_t(found->second)] = number(r);
        return true;
    });
    flush();
    // A recording that breaks off half-way is not passed off as a whole one.
    return ok;
}

bool write_traffic(Reader& reader, QSaveFile& out)
{
    out.write("time_s,direction,text\n");
    bool whole = true;
    const bool ok = reader.traffic([&](const Traffic& t) {
        out.write(seconds(t.t_us) + ',' + text_field(Direction_Name(t.direction)) + ',');
        if (!t.is_cut()) {
            out.write(text_field(printable(t.bytes.data(), t.bytes.size())) + '\n');
            return true;
        }
        // A long row goes out whole, a piece at a time, always quoted.
        out.write(!t.bytes.empty() && looks_like_formula(t.bytes[0]) ? "\"'" : "\"");
        whole = reader.whole_bytes(t.row, [&](const char* bytes, std::size_t size) {
            out.write(printable(bytes, size).replace('"', "\"\""));
            return true;
        });
        out.write("\"\n");
        return whole;
    });
    return ok && whole;
}

} // namespace

bool Export_CSV(const QString& recording, const QString& csv, bool traffic, QString* error)
{
    QString message;
    if (!error)
        error = &message;
    Reader reader;
    const auto cannot_read = [&] {
        *error = QStringLiteral("cannot read %1: %2")
                     .arg(recording, QString::fromStdString(reader.error()));
        return false;
    };
    if (!reader.open(QFile::encodeName(recording).toStdString()))
        return cannot_read();
    // A CSV picked over the recording would destroy it.
    if (QFileInfo(recording).canonicalFilePath() == QFileInfo(csv).canonicalFilePath()) {
        *error = QStringLiteral("will not write the CSV over the recording %1").arg(recording);
        return false;
    }
    QSaveFile out(csv);
    if (!out.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(csv, out.errorString());
        return false;
    }
    if (!(traffic ? write_traffic(reader, out) : write_readings(reader, out)))
        return cannot_read();
    if (!out.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(csv, out.errorString());
        return false;
    }
    return true;
}

} // namespace Recording
