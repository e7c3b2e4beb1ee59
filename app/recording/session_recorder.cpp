#include "session_recorder.h"

#include "received_frame.h"
#include "recording_schema.h"

#include <sanitizer_locks.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <vector>

using namespace Quillon;

struct Session_Recorder::Record
{
    enum Kind
    {
        Tx,
        Rx,
        Noise,
        Event
    };
    Kind kind;
    qint64 t_us;
    QByteArray bytes;
    // A received frame, decoded on the recorder's thread.
    Packet_Shared_Ptr packet;
    QString event_kind;
    QString text;
};

// Shared with the connections to the worker's signals, so that a call that
// is under way on the worker while the recorder goes touches no freed memory.
struct Session_Recorder::Queue
{
    QMutex lock;
    QElapsedTimer clock;
    bool open = false;
    std::vector<Record> records;

    qint64 now_us() const { return clock.nsecsElapsed() / 1000; }
    void push(Record&& record)
    {
        Quillon::detail::Locker hold(lock);
        if (!open)
            return;
        record.t_us = now_us();
        records.push_back(std::move(record));
    }
};

Session_Recorder::Session_Recorder(QObject* parent)
    : QObject(parent), Pending(std::make_shared<Queue>())
{
    Flush_Timer.setInterval(500);
    connect(&Flush_Timer, &QTimer::timeout, this, &Session_Recorder::Flush);
}

Session_Recorder::~Session_Recorder()
{
    Detach();
    Stop();
}

bool Session_Recorder::Is_Recording() const
{
    return !Connection_Name.isEmpty();
}

qint64 Session_Recorder::Elapsed_Ms() const
{
    return Is_Recording() ? Pending->clock.elapsed() : 0;
}

bool Session_Recorder::Start(const QString& file, QString* error)
{
    Stop();
    if (QFileInfo::exists(file)) {
        *error = QStringLiteral("%1 already exists.").arg(file);
        return false;
    }
    // Create the file first: SQLite would name a folder that cannot be
    // written only at the first statement, less clearly.
    {
        QFile probe(file);
        if (!probe.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            *error = QStringLiteral("Cannot create %1: %2").arg(file, probe.errorString());
            return false;
        }
    }
    static int serial = 0;
    Connection_Name = QStringLiteral("recording-%1").arg(++serial);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), Connection_Name);
        db.setDatabaseName(file);
        if (!db.open()) {
            *error = QStringLiteral("Cannot open %1: %2").arg(file, db.lastError().text());
            close_database();
            QFile::remove(file);
            return false;
        }
    }
    Path = file;
    Write_Failed = false;
    Tx_Count = 0;
    Serial_Parts = {};
    Part_Number.clear();
    Revision.clear();
    bool ok = exec(QStringLiteral("PRAGMA journal_mode=WAL"), error) &&
              exec(QStringLiteral("PRAGMA synchronous=NORMAL"), error) &&
              exec(QStringLiteral("BEGIN"), error);
    for (const char* statement : Recording::Schema)
        ok = ok && exec(QString::fromLatin1(statement), error);
    ok =
        ok && prepare(error) &&
        set_session(QStringLiteral("schema_version"), QString::number(Recording::Schema_Version)) &&
        set_session(QStringLiteral("started"),
                    QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)) &&
        set_session(QStringLiteral("program_version"), QCoreApplication::applicationVersion()) &&
        (Port.isEmpty() || set_session(QStringLiteral("port"), Port)) &&
        exec(QStringLiteral("COMMIT"), error);
    if (!ok) {
        if (error->isEmpty())
            *error = QStringLiteral("Cannot write %1.").arg(file);
        close_database();
        Path.clear();
        QFile::remove(file);
        return false;
    }
    {
        Quillon::detail::Locker hold(Pending->lock);
        Pending->records.clear();
        Pending->clock.start();
        Pending->open = true;
    }
    // Every box shown to the user, with its title and text.
    Set_User_Prompt_Observer([queue = Pending](const User_Prompt& prompt) {
        queue->push(Record{Record::Event,
                           0,
                           {},
                           {},
                           QStringLiteral("box"),
                           prompt.title + QStringLiteral(": ") + prompt.text});
    });
    Flush_Timer.start();
    return true;
}

void Session_Recorder::Stop()
{
    if (!Is_Recording())
        return;
    Flush();
    close_database();
}

void Session_Recorder::close_database()
{
    if (Flush_Timer.isActive())
        Set_User_Prompt_Observer(nullptr);
    Flush_Timer.stop();
    {
        Quillon::detail::Locker hold(Pending->lock);
        Pending->open = false;
        Pending->records.clear();
    }
    Insert_Traffic.reset();
    Insert_Reading.reset();
    Insert_Event.reset();
    Insert_Session.reset();
    if (Connection_Name.isEmpty())
        return;
    QSqlDatabase::database(Connection_Name, false).close();
    QSqlDatabase::removeDatabase(Connection_Name);
    Connection_Name.clear();
}

void Session_Recorder::Attach(COM_Resource* resource)
{
    Detach();
    if (!resource)
        return;
    const std::shared_ptr<Queue> queue = Pending;
    const auto direct = Qt::DirectConnection;
    Connections << connect(
        resource, &COM_Resource::Tx_Packet, resource,
        [queue](Packet_Shared_Ptr sent) {
            Record r{Record::Tx, 0,  QByteArray(sent->getData(), sent->getLength()) + '\r',
                     {},         {}, {}};
            queue->push(std::move(r));
        },
        direct);
    Connections << connect(
        resource, &COM_Resource::Rx_Packet, resource,
        [queue](Packet_Shared_Ptr received) {
            queue->push(Record{Record::Rx, 0, {}, received, {}, {}});
        },
        direct);
    // Every run of dropped bytes as the receiver drops it, rather than the
    // fixed rows shown to the user: a short glitch would otherwise wait for a
    // row to fill. The bytes are the receiver's own: copied here.
    Connections << connect(
        resource->Builder.Noise, &Rx_Noise_Class::Rejected, resource,
        [queue](const char* bytes, int length) {
            queue->push(Record{Record::Noise, 0, QByteArray(bytes, int(length)), {}, {}, {}});
        },
        direct);
    Connections << connect(
        resource, &COM_Resource::Rx_Timeout_Expected, resource,
        [queue](Packet_Shared_Ptr request) {
            queue->push(Record{Record::Event,
                               0,
                               {},
                               {},
                               QStringLiteral("timeout"),
                               request ? request->toQString() : QString()});
        },
        direct);
    Connections << connect(
        resource, &COM_Resource::COM_Error, resource,
        [queue](QString* text) {
            queue->push(Record{Record::Event,
                               0,
                               {},
                               {},
                               QStringLiteral("serial_error"),
                               text ? *text : QString()});
        },
        direct);
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

void Session_Recorder::Add_Event(const QString& kind, const QString& text)
{
    Pending->push(Record{Record::Event, 0, {}, {}, kind, text});
}

bool Session_Recorder::Flush()
{
    if (!Is_Recording())
        return !Write_Failed;
    std::vector<Record> batch;
    {
        Quillon::detail::Locker hold(Pending->lock);
        batch.swap(Pending->records);
    }
    QString error;
    bool ok = exec(QStringLiteral("BEGIN"), &error);
    for (const Record& r : batch) {
        if (!ok)
            break;
        ok = write_record(r);
    }
    ok = ok && exec(QStringLiteral("COMMIT"), &error);
    if (!ok) {
        fail(error);
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

bool Session_Recorder::write_record(const Record& r)
{
    if (r.kind == Record::Event) {
        QSqlQuery& q = *Insert_Event;
        q.addBindValue(r.t_us);
        q.addBindValue(r.event_kind);
        q.addBindValue(r.text.isNull() ? QVariant(QVariant::String) : QVariant(r.text));
        return q.exec();
    }
    static const char* const direction[] = {"tx", "rx", "noise"};
    QSqlQuery& q = *Insert_Traffic;
    q.addBindValue(r.t_us);
    q.addBindValue(QString::fromLatin1(direction[r.kind]));
    q.addBindValue(r.kind == Record::Rx ? Recording::Received_Frame_Bytes(r.packet.data())
                                        : r.bytes);
    if (!q.exec())
        return false;
    if (r.kind == Record::Tx)
        ++Tx_Count;
    if (r.kind == Record::Rx && r.packet->isValid()) {
        write_reading(r.t_us, r.packet.data());
        // The compressor test's outcome comes as a system response of its own.
        static const QStringList verdicts = {"<TEST DONE>", "<FAIL 1>",    "<FAIL 2>",
                                             "<FAIL 3>",    "<OVER TEMP>", "<OVER TIME>"};
        const QString text = QString::fromLatin1(r.packet->getData(), r.packet->getLength());
        if (r.packet->ID() == Packet_Resp_System::packet_type && verdicts.contains(text))
            return write_record(Record{
                Record::Event, r.t_us, {}, {}, QStringLiteral("compressor_test_verdict"), text});
    }
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
    QVariant value = raw;
    QVariant unit(QVariant::String);
    if (const auto flag = qobject_cast<Packet_Resp_Bool*>(packet)) {
        value = flag->Value() ? 1 : 0;
    } else if (const auto angle = qobject_cast<Packet_Resp_Suspension_Angle*>(packet)) {
        value = angle->Angle();
        unit = QStringLiteral("deg");
    } else if (const auto psi = qobject_cast<Packet_Resp_Pressure*>(packet)) {
        value = psi->Pressure();
        unit = QStringLiteral("psi");
    } else if (const auto volts = qobject_cast<Packet_Resp_Voltage*>(packet)) {
        value = volts->Voltage();
        unit = QStringLiteral("V");
    } else if (const auto temperature = qobject_cast<Packet_Resp_OAT*>(packet)) {
        value = temperature->Temp_C();
        unit = QStringLiteral("degC");
    } else if (const auto duty = qobject_cast<Packet_Resp_CES*>(packet)) {
        value = duty->Duty_cycle() * 100.0;
        unit = QStringLiteral("%");
    }
    QSqlQuery& q = *Insert_Reading;
    q.addBindValue(t_us);
    q.addBindValue(code);
    q.addBindValue(raw);
    q.addBindValue(value);
    q.addBindValue(unit);
    if (!q.exec()) {
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
    QSqlQuery& q = *Insert_Session;
    q.addBindValue(key);
    q.addBindValue(value);
    if (q.exec())
        return true;
    Write_Failed = true;
    return false;
}

bool Session_Recorder::prepare(QString* error)
{
    const QSqlDatabase db = QSqlDatabase::database(Connection_Name, false);
    const struct
    {
        std::unique_ptr<QSqlQuery>* query;
        const char* sql;
    } statements[] = {
        {&Insert_Traffic, "INSERT INTO traffic VALUES (?, ?, ?)"},
        {&Insert_Reading, "INSERT INTO readings VALUES (?, ?, ?, ?, ?)"},
        {&Insert_Event, "INSERT INTO events VALUES (?, ?, ?)"},
        {&Insert_Session, "INSERT OR REPLACE INTO session VALUES (?, ?)"},
    };
    for (const auto& s : statements) {
        s.query->reset(new QSqlQuery(db));
        if (!(*s.query)->prepare(QString::fromLatin1(s.sql))) {
            *error = (*s.query)->lastError().text();
            return false;
        }
    }
    return true;
}

bool Session_Recorder::exec(const QString& sql, QString* error)
{
    QSqlQuery q(QSqlDatabase::database(Connection_Name, false));
    if (q.exec(sql))
        return true;
    *error = q.lastError().text();
    return false;
}

void Session_Recorder::fail(const QString& reason)
{
    const QString message =
        QStringLiteral("Recording to %1 stopped: %2")
            .arg(Path, reason.isEmpty() ? QStringLiteral("the file could not be written") : reason);
    Write_Failed = true;
    {
        QSqlQuery rollback(QSqlDatabase::database(Connection_Name, false));
        rollback.exec(QStringLiteral("ROLLBACK"));
    }
    close_database();
    emit Recording_Failed(message);
}
