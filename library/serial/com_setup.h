#ifndef QUILLON_COM_SETUP_H
#define QUILLON_COM_SETUP_H

#include "quillon_global.h"

#include <QDialog>
#include <QList>
#include <QString>

#include <functional>

namespace Ui {
class COM_Setup;
}

namespace Quillon {

class COM_Resource;

// The modal dialog in which the user picks the serial port. It lists the
// ports sorted by number, marks USB and FTDI adapters, preselects a suitable
// one and opens it as a COM_Resource, which it keeps (as its child) for the
// main window. A device path the system does not list (a /dev/serial/by-id
// link, a virtual port) can be typed in, and the port opened last stays in
// the list. Leaving the dialog without an open port, however it is left,
// asks whether to leave the application.
class QUILLON_EXPORT COM_Setup : public QDialog
{
    Q_OBJECT

public:
    // One port as the system lists it.
    struct Port_Info
    {
        QString name;
        QString description;
        QString manufacturer;
    };
    using Port_Lister = std::function<QList<Port_Info>()>;

    explicit COM_Setup(QWidget* parent = nullptr);
    ~COM_Setup() override;

    // The resource opened last; null until a port has been opened.
    COM_Resource* Open_Resource = nullptr;

    void Refresh_COM_Ports();
    bool OpenComPort(QString* port_name, QString& error_text);
    // Opens a port by name without showing the dialog. The error text, if
    // asked for, receives the system's message.
    bool TryOpenWithDefaults(QString* port_name, QString* error_text = nullptr);
    bool CloseComPort();
    // True while Open_Resource's port is open; after a lost connection the
    // resource is still there but its port is closed.
    bool Port_Open() const;

    // The ports as listed, in display order.
    QStringList Port_Names() const;
    QString Open_Port_Name_Text() const;

    // Replaces the system's port listing (an empty lister restores it).
    static void Set_Port_Lister(Port_Lister lister);
    // The number a port name sorts by: its trailing decimal digits, so
    // ttyUSB2 and COM2 both give 2; 0 without any.
    static int Port_Number(const QString& name);

protected slots:
    void btnOpenCom_Click();
    void cbxCOMPorts_SelectionChanged_Handler(int new_index);
    void btnRefresh_Click();

public slots:
    // Escape, and every other way out but Open.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QList<QString*>* Port_List;
    // A copy of the name opened last; the list's entries die with each refresh.
    QString* Open_Port_Name = nullptr;
    Ui::COM_Setup* ui;
};

} // namespace Quillon

#endif // QUILLON_COM_SETUP_H
