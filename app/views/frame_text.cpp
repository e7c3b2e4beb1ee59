#include "frame_text.h"

#include "fault_names.h"

#include <Quillon.h>

#include <QScopedPointer>

#include <cstring>

using namespace Quillon;

namespace Views {

QString Direction_Name(Direction direction)
{
    static const char* const names[] = {"request", "answer", "noise"};
    return QLatin1String(names[int(direction)]);
}

QString Signal_Name(const QString& code)
{
    static const struct
    {
        const char* code;
        const char* name;
    } names[] = {
        {"ALG", "compressor-time reset code"},
        {"ALO", "overheat-counter reset code"},
        {"ALR", "on-time reset code"},
        {"BAH", "trigger input"},
        {"BPD", "bypass disable"},
        {"CES", "exhaust duty"},
        {"CPT", "compressor time counter"},
        {"CSR", "compressor output"},
        {"CSS", "curb-side valve"},
        {"CTS", "compressor test"},
        {"DSA", "driver-side angle"},
        {"DSH", "door switch, active-high"},
        {"DSL", "door switch, active-low"},
        {"DSS", "driver-side valve"},
        {"FM1", "fault group 1"},
        {"FM2", "fault group 2"},
        {"FM3", "fault group 3"},
        {"IGT", "on-time counter"},
        {"IGV", "battery voltage"},
        {"LHC", "dump height, curb side"},
        {"LHD", "dump height, driver side"},
        {"LOL", "system enable input"},
        {"LSP", "move to dump height"},
        {"MCN", "curb side down"},
        {"MCP", "curb side up"},
        {"MDN", "driver side down"},
        {"MDP", "driver side up"},
        {"MOD", "operating mode"},
        {"OAT", "compressor temperature"},
        {"OTC", "overheat counter"},
        {"PRT", "firmware part number"},
        {"PSA", "curb-side angle"},
        {"PXV", "reservoir pressure"},
        {"RDH", "move to ride height"},
        {"REV", "firmware revision"},
        {"RHC", "ride height, curb side"},
        {"RHD", "ride height, driver side"},
        {"RVS", "reservoir valve"},
        {"SEC", "seconds counter"},
        {"SLP", "store dump height"},
        {"SN1", "serial number, part 1"},
        {"SN2", "serial number, part 2"},
        {"SN3", "serial number, part 3"},
        {"SN4", "serial number, part 4"},
        {"SRH", "store ride height"},
    };
    for (const auto& n : names)
        if (code == QLatin1String(n.code))
            return QLatin1String(n.name);
    return QString();
}

namespace {

// "PXV reservoir pressure", or the code alone where it has no name.
QString named(const QString& code)
{
    const QString name = Signal_Name(code);
    return name.isEmpty() ? code : code + QLatin1Char(' ') + name;
}

} // namespace

QString Visible_Bytes(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size() + 8);
    for (const char c : bytes) {
        const auto byte = uchar(c);
        if (byte == '\r')
            text += QChar(0x23CE);
        else if (byte >= 0x20 && byte < 0x7F)
            text += QLatin1Char(c);
        else
            text += QStringLiteral("<%1>").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

QString Frame_Code(Direction direction, const QByteArray& bytes)
{
    if (direction == Direction::Request) {
        const int space = bytes.indexOf(' ');
        return space < 0 ? QString() : QString::fromLatin1(bytes.mid(space + 1, 3));
    }
    if (direction == Direction::Answer && bytes.size() >= 3 && !bytes.startsWith('<'))
        return QString::fromLatin1(bytes.left(3));
    return QString();
}

namespace {

// A value answer's value in words, decoded by the library's own packet.
QString value_in_words(Packet_Class* packet)
{
    if (!packet->isValid())
        return QStringLiteral("unreadable value");
    const auto number = [](double v) { return QString::number(v, 'f', 1); };
    if (auto angle = qobject_cast<Packet_Resp_Suspension_Angle*>(packet))
        return number(angle->Angle()) + QStringLiteral(" deg");
    if (auto psi = qobject_cast<Packet_Resp_Pressure*>(packet))
        return number(psi->Pressure()) + QStringLiteral(" psi");
    if (auto volts = qobject_cast<Packet_Resp_Voltage*>(packet))
        return number(volts->Voltage()) + QStringLiteral(" V");
    if (auto temperature = qobject_cast<Packet_Resp_OAT*>(packet))
        return number(temperature->Temp_C()) + QStringLiteral(" degC");
    if (auto duty = qobject_cast<Packet_Resp_CES*>(packet))
        return number(duty->Duty_cycle() * 100.0) + QStringLiteral(" %");
    if (auto mode = qobject_cast<Packet_Resp_MOD*>(packet))
        return mode->Mode_name();
    if (auto flag = qobject_cast<Packet_Resp_Bool*>(packet))
        return flag->Value() ? QStringLiteral("on") : QStringLiteral("off");
    if (auto text = qobject_cast<Packet_Resp_String*>(packet))
        return text->Text();
    if (qobject_cast<Packet_Resp_Faults*>(packet)) {
        const int word = packet->ID() - Packet_Resp_FM1::packet_type;
        const int digits = QByteArray(packet->getData() + 4, 5).toInt();
        const QStringList faults = Fault_Names(word, digits);
        return faults.isEmpty() ? QStringLiteral("no faults") : faults.join(QStringLiteral(", "));
    }
    return QString();
}

} // namespace

QString Noise_Text(qint64 count)
{
    return count == 1 ? QStringLiteral("noise, 1 byte")
                      : QStringLiteral("noise, %1 bytes").arg(count);
}

QString Frame_Meaning(Direction direction, const QByteArray& bytes)
{
    if (direction == Direction::Noise)
        return Noise_Text(bytes.size());
    if (direction == Direction::Request) {
        QByteArray text = bytes;
        if (text.endsWith('\r'))
            text.chop(1);
        if (text.startsWith("get "))
            text.replace(0, 3, "read");
        const QString code = Frame_Code(direction, bytes);
        QString meaning = QString::fromLatin1(text);
        const QString name = Signal_Name(code);
        // The name after the code, before any value a set sends.
        const int after = meaning.indexOf(code) + code.size();
        if (!name.isEmpty() && after >= code.size())
            meaning.insert(after, QLatin1Char(' ') + name);
        return meaning;
    }
    if (bytes.startsWith('<')) {
        const int end = bytes.indexOf('>');
        return QString::fromLatin1(end < 0 ? bytes : bytes.left(end + 1));
    }
    const QString code = Frame_Code(direction, bytes);
    QScopedPointer<Packet_Class> packet(
        Create_Response_Packet(Response_Type_Of(code.toLatin1().constData())));
    if (!packet)
        return QStringLiteral("unknown answer");
    char body[32] = {};
    std::memcpy(body, bytes.constData(), size_t(qMin(bytes.size(), int(sizeof body) - 1)));
    packet->checkData(body);
    const QString field = QString::fromLatin1(bytes.mid(4, 5)).trimmed();
    const bool numeric = !qobject_cast<Packet_Resp_String*>(packet.data());
    QString raw = field;
    if (numeric && packet->isValid())
        raw = QString::number(field.toInt());
    const QString value = value_in_words(packet.data());
    if (value.isEmpty() || value == raw)
        return named(code) + QLatin1Char(' ') + raw;
    return named(code) + QLatin1Char(' ') + raw + QStringLiteral(" = ") + value;
}

} // namespace Views
