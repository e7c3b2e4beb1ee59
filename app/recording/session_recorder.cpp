#include "session_recorder.h"

#include "views/event_marks.h"
#include "views/line_tap.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <session_writer.h>
#include <vector>

using namespace Quillon;

struct Session_Recorder::Record
{
    enum Kind
    {
        Tx,
        Rx,
        Noise,
        Event,
        Result, // fields: test, verdict, summary, details
        Marker,
        Job // fields: key, value
    };
    Kind kind;
    // Since the recording began; -1 for now.
    qint64 t_us;
    QByteArray bytes;
    // A received frame, decoded on the recorder's thread.
    Packet_Shared_Ptr packet;
    QString event_kind;
    QString text;
    QStringList fields;
};

namespace {

// The recorder told of every box; there is one observer for the program.
Session_Recorder* Observing = nullptr;

// The compressor test's outcome, as the controller's system response says it.
const QStringList Compressor_Verdicts = {"<TEST DONE>", "<FAIL 1>",    "<FAIL 2>",
                                         "<FAIL 3>",    "<OVER TEMP>", "<OVER TIME>"};

} // namespace

Session_Recorder::Session_Recorder(Views::Line_Tap* tap, QObject* parent)
    : QObject(parent), Tap(tap), Db(new Recording::Writer)
{
    Flush_Timer.setInterval(500);
    connect(&Flush_Timer, &QTimer::timeout, this, &Session_Recorder::Flush);
    connect(tap, &Views::Line_Tap::Frames, this, &Session_Recorder::Take);
    // Every box shown to the user, with its title and text.
    Observing = this;
    Set_User_Prompt_Observer([this](const User_Prompt& prompt) {
        Add_Event(QStringLiteral("box"), prompt.title + QStringLiteral(": ") + prompt.text);
    });
}

Session_Recorder::~Session_Recorder()
{
    if (Observing == this) {
        Set_User_Prompt_Observer(nullptr);
        Observing = nullptr;
    }
    Detach();
    Stop();
}

qint64 Session_Recorder::Now_Us() const
{
    return Tap ? Tap->Now_Us() : 0;
}

bool Session_Recorder::Is_Recording() const
{
    return Db->is_open();
}

qint64 Session_Recorder::Elapsed_Ms() const
{
    return Is_Recording() && Tap ? (Tap->Now_Us() - Start_Us) / 1000 : 0;
}

bool Session_Recorder::Start(const QString& file, QString* error)
{
    Stop();
    if (QFileInfo::exists(file)) {
        *error = QStringLiteral("%1 already exists.").arg(file);
        return false;
    }
    Path = file;
    Write_Failed = false;
    Tx_Count = 0;
    Serial_Parts = {};
    Part_Number.clear();
    Revision.clear();
    if (!Db->create(QFile::encodeName(file).toStdString())) {
        *error =
            QStringLiteral("Cannot create %1: %2").arg(file, QString::fromStdString(Db->error()));
        Path.clear();
        return false;
    }
    const bool ok =
        Db->begin() &&
        set_session(QStringLiteral("started"),
                    QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)) &&
        set_session(QStringLiteral("program_version"), QCoreApplication::applicationVersion()) &&
        (Port.isEmpty() || set_session(QStringLiteral("port"), Port)) && Db->commit();
    if (!ok) {
        *error =
            QStringLiteral("Cannot write %1: %2").arg(file, QString::fromStdString(Db->error()));
        Db->abandon();
        Path.clear();
        QFile::remove(file);
        return false;
    }
    Pending.clear();
    Start_Us = Tap ? Tap->Now_Us() : 0;
    if (Tap)
        Tap->Set_Wanted(Views::Line_Tap::Recorder, true);
    Flush_Timer.start();
    return true;
}

void Session_Recorder::Stop()
{
    if (!Is_Recording())
        return;
    // What the line sent up to now, before the file closes.
    if (Tap)
        Tap->Deliver();
    Flush();
    close_database();
}

void Session_Recorder::close_database()
{
    Flush_Timer.stop();
    Pending.clear();
    if (Tap)
        Tap->Set_Wanted(Views::Line_Tap::Recorder, false);
    // A recording that ends cleanly becomes one self-contained file; one
    // that failed is left as it is.
    if (Write_Failed)
        Db->abandon();
    else
        Db->close();
}

void Session_Recorder::Attach(COM_Resource* resource)
{
    Detach();
    if (!resource)
        return;
    // On this thread: only the worker's own error reaches it.
    Connections << connect(resource, &COM_Resource::COM_Error, this, [this](QString* text) {
        Add_Event(QStringLiteral("serial_error"), text ? *text : QString());
    });
    Port = resource->Port_Name_Text();
    if (Is_Recording())
        set_session(QStringLiteral("port"), Port);
    Add_Event(QStringLiteral("port_opened"), Port);
}

void Session_Recorder::Detach()
{
    if (Connections.isEmpty())
        return;
    for (const QMetaObject::Connection& c : qAsConst(Connections))
        disconnect(c);
    Connections.clear();
    Add_Event(QStringLiteral("port_closed"), QString());
}

void Session_Recorder::push(Record&& record)
{
    if (!Is_Recording())
        return;
    if (record.t_us < 0)
        record.t_us = Tap ? Tap->Now_Us() - Start_Us : 0;
    Pending.push_back(std::move(record));
}

void Session_Recorder::note(qint64 t_us, const QString& kind, const QString& text)
{
    emit Event_Noted(t_us, kind, text);
    if (t_us >= Start_Us)
        push(Record{Record::Event, t_us - Start_Us, {}, {}, kind, text, {}});
}

void Session_Recorder::Take(const QVector<Views::Line_Frame>& frames)
{
    // The line's own events are told whether recording or not; frames from
    // before this recording began were kept for the docks.
    const bool recording = Is_Recording();
    for (const Views::Line_Frame& f : frames) {
        const qint64 t = f.t_us - Start_Us;
        if (f.timeout) {
            note(f.t_us, QStringLiteral("timeout"), f.packet ? f.packet->toQString() : QString());
            continue;
        }
        if (recording && t >= 0) {
            static const Record::Kind kinds[] = {Record::Tx, Record::Rx, Record::Noise};
            push(Record{kinds[int(f.direction)],
                        t,
                        f.bytes,
                        f.direction == Views::Direction::Answer ? f.packet : Packet_Shared_Ptr(),
                        {},
                        {},
                        {}});
        }
        // The compressor test's outcome comes as a system response of its
        // own: an event, and the test's result.
        if (f.direction != Views::Direction::Answer || !f.packet || !f.packet->isValid() ||
            f.packet->ID() != Packet_Resp_System::packet_type)
            continue;
        const QString text = QString::fromLatin1(f.packet->getData(), f.packet->getLength());
        if (!Compressor_Verdicts.contains(text))
            continue;
        note(f.t_us, QStringLiteral("compressor_test_verdict"), text);
        if (recording && t >= 0) {
            const QString verdict =
                text == Compressor_Verdicts[0] ? QStringLiteral("pass") : QStringLiteral("fail");
            push(Record{Record::Result,
                        t,
                        {},
                        {},
                        {},
                        {},
                        {QStringLiteral("compressor"), verdict, text,
                         QStringLiteral("{\"response\": \"%1\"}").arg(text)}});
        }
    }
}

void Session_Recorder::Add_Event(const QString& kind, const QString& text)
{
    emit Event_Noted(Now_Us(), kind, text);
    push(Record{Record::Event, -1, {}, {}, kind, text, {}});
}

void Session_Recorder::Add_Result(const QString& test, const QString& verdict,
                                  const QString& summary, const QString& details_json)
{
    emit Event_Noted(Now_Us(), QStringLiteral("result"),
                     Views::Result_Text(test, verdict, summary));
    push(Record{Record::Result, -1, {}, {}, {}, {}, {test, verdict, summary, details_json}});
}

void Session_Recorder::Add_Marker(const QString& text)
{
    Add_Marker_At(Now_Us(), text);
}

void Session_Recorder::Add_Marker_At(qint64 t_us, const QString& text)
{
    emit Event_Noted(t_us, QStringLiteral("marker"), text);
    // A mark taken just before the recording began belongs to its start.
    push(Record{Record::Marker, std::max<qint64>(0, t_us - Start_Us), {}, {}, {}, text, {}});
}

void Session_Recorder::Set_Job(const QString& key, const QString& value)
{
    push(Record{Record::Job, -1, {}, {}, {}, {}, {key, value}});
}

bool Session_Recorder::Flush()
{
    if (!Is_Recording())
        return !Write_Failed;
    std::vector<Record> batch;
    batch.swap(Pending);
    // The events of this thread and the line's frames, which come up to a
    // batch later, in the order they happened.
    std::stable_sort(batch.begin(), batch.end(),
                     [](const Record& a, const Record& b) { return a.t_us < b.t_us; });
    bool ok = Db->begin();
    for (const Record& r : batch) {
        if (!ok)
            break;
        ok = write_record(r);
    }
    ok = ok && Db->commit();
    if (!ok) {
        fail(QString::fromStdString(Db->error()));
        return false;
    }
    // A file deleted under the recording would go on taking rows unseen.
    if (!QFileInfo::exists(Path)) {
        fail(QStringLiteral("the file has disappeared"));
        return false;
    }
    emit Progress();
    return true;
}

namespace {

std::string utf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

} // namespace

bool Session_Recorder::write_record(const Record& r)
{
    switch (r.kind) {
    case Record::Event:
        return Db->add_event(r.t_us, utf8(r.event_kind),
                             r.text.isNull() ? nullptr : r.text.toUtf8().constData());
    case Record::Result:
        return Db->add_result(r.t_us, utf8(r.fields.value(0)), utf8(r.fields.value(1)),
                              utf8(r.fields.value(2)), utf8(r.fields.value(3)));
    case Record::Marker:
        return Db->add_marker(r.t_us, utf8(r.text));
    case Record::Job:
        return Db->set_job(utf8(r.fields.value(0)), utf8(r.fields.value(1)));
    case Record::Tx:
    case Record::Noise:
    case Record::Rx:
        break;
    }
    static const Recording::Direction direction[] = {
        Recording::Direction::Tx, Recording::Direction::Rx, Recording::Direction::Noise};
    const QByteArray& bytes = r.bytes;
    if (!Db->add_traffic(r.t_us, direction[r.kind], bytes.constData(), size_t(bytes.size())))
        return false;
    if (r.kind == Record::Tx)
        ++Tx_Count;
    if (r.kind == Record::Rx && r.packet && r.packet->isValid())
        write_reading(r.t_us, r.packet.data());
    return !Write_Failed;
}

void Session_Recorder::write_reading(qint64 t_us, Packet_Class* packet)
{
    const auto response = qobject_cast<Packet_Resp_Class*>(packet);
    if (!response)
        return;
    const QString code = QString::fromLatin1(packet->getData(), 3);
    if (const auto text = qobject_cast<Packet_Resp_String*>(packet)) {
        (packet->ID() == Packet_Resp_PRT::packet_type ? Part_Number : Revision) = text->Text();
        set_session(QStringLiteral("firmware"), Part_Number + QLatin1Char(' ') + Revision);
        return;
    }
    // The field as a number: a boolean's digit, a fault word's flags as
    // the controller sends them, or the 16-bit value.
    const int raw = QByteArray(packet->getData() + 4, 5).trimmed().toInt();
    std::optional<double> value = raw;
    const char* unit = nullptr;
    if (const auto flag = qobject_cast<Packet_Resp_Bool*>(packet)) {
        value = flag->Value() ? 1 : 0;
    } else if (const auto angle = qobject_cast<Packet_Resp_Suspension_Angle*>(packet)) {
        value = angle->Angle();
        unit = "deg";
    } else if (const auto psi = qobject_cast<Packet_Resp_Pressure*>(packet)) {
        value = psi->Pressure();
        unit = "psi";
    } else if (const auto volts = qobject_cast<Packet_Resp_Voltage*>(packet)) {
        value = volts->Voltage();
        unit = "V";
    } else if (const auto temperature = qobject_cast<Packet_Resp_OAT*>(packet)) {
        value = temperature->Temp_C();
        unit = "degC";
    } else if (const auto duty = qobject_cast<Packet_Resp_CES*>(packet)) {
        value = duty->Duty_cycle() * 100.0;
        unit = "%";
    }
    if (!Db->add_reading(t_us, code.toStdString(), raw, value, unit)) {
        Write_Failed = true;
        return;
    }
    // The serial number as the device tab shows it, once all four parts
    // have been read.
    static const char* const parts[] = {"SN1", "SN2", "SN3", "SN4"};
    static const int widths[] = {2, 2, 1, 3};
    for (int i = 0; i < 4; ++i) {
        if (code != QLatin1String(parts[i]))
            continue;
        Serial_Parts[size_t(i)] = QStringLiteral("%1").arg(raw, widths[i], 10, QLatin1Char('0'));
        bool all = true;
        for (const QString& part : Serial_Parts)
            all = all && !part.isEmpty();
        if (all &&
            !set_session(QStringLiteral("serial_number"),
                         Serial_Parts[0] + Serial_Parts[1] + Serial_Parts[2] + Serial_Parts[3]))
            Write_Failed = true;
    }
}

bool Session_Recorder::set_session(const QString& key, const QString& value)
{
    if (Db->set_session(utf8(key), utf8(value)))
        return true;
    Write_Failed = true;
    return false;
}

void Session_Recorder::fail(const QString& reason)
{
    const QString message =
        QStringLiteral("Recording to %1 stopped: %2")
            .arg(Path, reason.isEmpty() ? QStringLiteral("the file could not be written") : reason);
    Write_Failed = true;
    Db->rollback();
    close_database();
    emit Recording_Failed(message);
}
