#ifndef APP_RECORDING_SESSION_RECORDER_H
#define APP_RECORDING_SESSION_RECORDER_H

#include <Quillon.h>

#include <QElapsedTimer>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVector>

#include <array>
#include <memory>
#include <vector>

namespace Recording {
class Writer;
}
namespace Views {
class Line_Tap;
struct Line_Frame;
} // namespace Views

// Records a session into one SQLite file (see the README for its tables):
// every request written, every frame and every dropped byte received, every
// valid value read, and the events of the session.
//
// The line comes from the program's tap (Views::Line_Tap), which the worker
// only appends to; the recorder wants it only while it records. A timer on
// the thread that owns the recorder writes what has come in one transaction
// twice a second, so nothing on the worker ever waits for the disk, and a
// killed program loses at most the last second. A write that fails stops the
// recording (Recording_Failed), never the program or the connection.
class Session_Recorder : public QObject
{
    Q_OBJECT

public:
    // Records what `tap` hands over; the tap is not owned.
    explicit Session_Recorder(Views::Line_Tap* tap, QObject* parent = nullptr);
    ~Session_Recorder() override;

    // Creates FILE and starts recording; refuses a file that exists. On
    // failure nothing is left behind and *error says why.
    bool Start(const QString& file, QString* error);
    // Writes what is queued and closes the file.
    void Stop();
    bool Is_Recording() const;
    QString File_Name() const { return Path; }
    qint64 Elapsed_Ms() const;
    // Requests recorded so far, one per exchange.
    qint64 Exchanges() const { return Tx_Count; }

    // The port whose line the tap hands over, until Detach(): its name for
    // the session table, its opening and closing and its serial errors.
    void Attach(Quillon::COM_Resource* resource);
    void Detach();
    // An event of the session (kind as listed in the README).
    void Add_Event(const QString& kind, const QString& text);
    // The outcome of a test run, its details as JSON.
    void Add_Result(const QString& test, const QString& verdict, const QString& summary,
                    const QString& details_json);
    // The technician's own mark at this moment, or at T_US on the tap's
    // clock (a moment taken before the technician typed its text).
    void Add_Marker(const QString& text);
    void Add_Marker_At(qint64 t_us, const QString& text);
    // Now on the tap's clock, which stamps the line's frames.
    qint64 Now_Us() const;
    // One entry of the work order the recording belongs to.
    void Set_Job(const QString& key, const QString& value);
    // Writes what is queued now, in one transaction; false when the
    // recording was stopped by a failed write.
    bool Flush();
    void Set_Flush_Interval(int ms) { Flush_Timer.setInterval(ms); }

signals:
    // The recording stopped because its file could not be written.
    void Recording_Failed(const QString& message);
    // After every flush, for the status bar.
    void Progress();
    // Every event, result and marker as it happens, recording or not, at
    // T_US on the tap's clock: port opened and closed, serial errors,
    // time-outs, boxes, the technician's actions, tests and their verdicts.
    // A result comes as kind "result", a marker as kind "marker".
    void Event_Noted(qint64 t_us, const QString& kind, const QString& text);

private:
    struct Record;

    // The tap's frames, on the recorder's thread.
    void Take(const QVector<Views::Line_Frame>& frames);
    void push(Record&& record);
    // Tells of an event at T_US on the tap's clock and records it.
    void note(qint64 t_us, const QString& kind, const QString& text);

    bool write_record(const Record& r);
    void write_reading(qint64 t_us, Quillon::Packet_Class* packet);
    bool set_session(const QString& key, const QString& value);
    void fail(const QString& reason);
    void close_database();

    QPointer<Views::Line_Tap> Tap;
    // On the tap's clock, when this recording began.
    qint64 Start_Us = 0;
    std::vector<Record> Pending;
    QList<QMetaObject::Connection> Connections;
    QTimer Flush_Timer;
    std::unique_ptr<Recording::Writer> Db;
    QString Path;
    // The port of the attached resource.
    QString Port;
    qint64 Tx_Count = 0;
    bool Write_Failed = false;
    // What the device tab shows, assembled as its parts arrive.
    std::array<QString, 4> Serial_Parts;
    QString Part_Number;
    QString Revision;
};

#endif // APP_RECORDING_SESSION_RECORDER_H
