#include "com_setup.h"

#include "com_resource.h"
#include "ui_com_setup.h"
#include "user_prompt.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QRegularExpression>
#include <QSerialPortInfo>

#include <algorithm>

namespace Quillon {

namespace {

COM_Setup::Port_Lister& port_lister()
{
    static COM_Setup::Port_Lister lister;
    return lister;
}

QList<COM_Setup::Port_Info> system_ports()
{
    QList<COM_Setup::Port_Info> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.append({info.portName(), info.description(), info.manufacturer()});
    return ports;
}

enum class Adapter
{
    None,
    Usb,
    Ftdi
};

} // namespace

COM_Setup::COM_Setup(QWidget* parent)
    : QDialog(parent), Port_List(new QList<QString*>), ui(new Ui::COM_Setup)
{
    ui->setupUi(this);
    Refresh_COM_Ports();
    cbxCOMPorts_SelectionChanged_Handler(ui->cbxCOMPorts->currentIndex());
    connect(ui->btnOpenCom, SIGNAL(clicked()), this, SLOT(btnOpenCom_Click()));
    connect(ui->cbxCOMPorts, SIGNAL(currentIndexChanged(int)), this,
            SLOT(cbxCOMPorts_SelectionChanged_Handler(int)));
    connect(ui->btnRefresh, SIGNAL(clicked()), this, SLOT(btnRefresh_Click()));
    // A typed path enables Open as a listed port does.
    connect(ui->cbxCOMPorts, &QComboBox::editTextChanged, this,
            [this] { cbxCOMPorts_SelectionChanged_Handler(ui->cbxCOMPorts->currentIndex()); });
}

COM_Setup::~COM_Setup()
{
    qDeleteAll(*Port_List);
    delete Port_List;
    delete Open_Port_Name;
    delete ui;
}

void COM_Setup::Set_Port_Lister(Port_Lister lister)
{
    port_lister() = std::move(lister);
}

int COM_Setup::Port_Number(const QString& name)
{
    static const QRegularExpression trailing_digits(QStringLiteral("(\\d+)$"));
    const QRegularExpressionMatch m = trailing_digits.match(name);
    if (!m.hasMatch())
        return 0;
    bool ok = false;
    const int number = m.captured(1).toInt(&ok);
    return ok ? number : 0;
}

void COM_Setup::Refresh_COM_Ports()
{
    QComboBox* box = ui->cbxCOMPorts;
    // Text the user typed, rather than picked, survives the new listing.
    const QString typed =
        box->currentIndex() >= 0 && box->currentText() == box->itemText(box->currentIndex())
            ? QString()
            : box->currentText();
    qDeleteAll(*Port_List);
    Port_List->clear();
    box->blockSignals(true);
    box->clear();

    struct Entry
    {
        QString name;
        Adapter adapter;
    };
    QList<Entry> entries;
    const QList<Port_Info> ports = port_lister() ? port_lister()() : system_ports();
    for (const Port_Info& port : ports) {
        Adapter adapter = Adapter::None;
        if (port.description.contains(QLatin1String("USB"), Qt::CaseSensitive))
            adapter = port.manufacturer == QLatin1String("FTDI") ? Adapter::Ftdi : Adapter::Usb;
        entries.append({port.name, adapter});
    }
    // The port used last is offered again even when the system does not list
    // it (a device path, a link, a pseudo-terminal).
    if (Open_Port_Name && std::none_of(entries.begin(), entries.end(), [this](const Entry& e) {
            return e.name == *Open_Port_Name;
        }))
        entries.append({*Open_Port_Name, Adapter::None});
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const int na = Port_Number(a.name), nb = Port_Number(b.name);
        return na != nb ? na < nb : a.name < b.name;
    });

    int preselect = -1;
    for (int i = 0; i < entries.size(); ++i) {
        if (Open_Port_Name && entries[i].name == *Open_Port_Name)
            preselect = i;
    }
    for (int i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        Port_List->append(new QString(e.name));
        QString text = e.name;
        if (e.adapter == Adapter::Usb) {
            text += QLatin1String(" USB");
        } else if (e.adapter == Adapter::Ftdi) {
            text += QLatin1String(" FTDI USB");
            if (preselect < 0)
                preselect = i;
        }
        box->addItem(QIcon(), text);
    }
    if (preselect >= 0)
        box->setCurrentIndex(preselect);
    if (!typed.isEmpty())
        box->setEditText(typed);
    box->blockSignals(false);
}

bool COM_Setup::OpenComPort(QString* port_name, QString& error_text)
{
    Open_Resource = new COM_Resource(this);
    if (port_name && Open_Resource->OpenComPort(port_name, error_text)) {
        delete Open_Port_Name;
        Open_Port_Name = new QString(*port_name);
        return true;
    }
    if (!port_name)
        error_text = QString();
    // A resource that never opened serves nobody.
    delete Open_Resource;
    Open_Resource = nullptr;
    Refresh_COM_Ports();
    return false;
}

bool COM_Setup::TryOpenWithDefaults(QString* port_name, QString* error_text)
{
    if (!port_name || port_name->isEmpty())
        return false;
    QString error;
    const bool opened = OpenComPort(port_name, error);
    if (error_text)
        *error_text = error;
    return opened;
}

bool COM_Setup::CloseComPort()
{
    return Open_Resource ? Open_Resource->CloseComPort() : true;
}

bool COM_Setup::Port_Open() const
{
    return Open_Resource && Open_Resource->Port_Handle.Is_Open();
}

QStringList COM_Setup::Port_Names() const
{
    QStringList names;
    for (const QString* name : qAsConst(*Port_List))
        names << *name;
    return names;
}

QString COM_Setup::Open_Port_Name_Text() const
{
    return Open_Port_Name ? *Open_Port_Name : QString();
}

void COM_Setup::btnRefresh_Click()
{
    Refresh_COM_Ports();
    cbxCOMPorts_SelectionChanged_Handler(ui->cbxCOMPorts->currentIndex());
}

void COM_Setup::cbxCOMPorts_SelectionChanged_Handler(int new_index)
{
    QComboBox* box = ui->cbxCOMPorts;
    ui->btnOpenCom->setEnabled((new_index != -1 && box->count() > 0) ||
                               !box->currentText().trimmed().isEmpty());
}

void COM_Setup::btnOpenCom_Click()
{
    if (Open_Resource && !Open_Resource->CloseComPort()) {
        User_Prompt prompt;
        prompt.icon = QMessageBox::Critical;
        prompt.text = QStringLiteral("Error closing COM port");
        prompt.detailed_text = QStringLiteral("Error closing COM port") + Open_Port_Name_Text();
        prompt.buttons = QMessageBox::Ok;
        prompt.parent = this;
        Ask_User(prompt);
        setResult(QDialog::Rejected);
        return;
    }
    // A listed port as picked, or whatever path the user typed.
    QComboBox* box = ui->cbxCOMPorts;
    const int index = box->currentIndex();
    QString name = box->currentText().trimmed();
    if (index >= 0 && index < Port_List->size() && box->currentText() == box->itemText(index))
        name = *Port_List->at(index);
    if (name.isEmpty())
        return;
    QString error;
    if (OpenComPort(&name, error)) {
        accept();
        return;
    }
    User_Prompt prompt;
    prompt.icon = QMessageBox::Critical;
    prompt.title = QStringLiteral("Error Opening COM Port ") + name;
    prompt.text = error;
    prompt.buttons = QMessageBox::Ok;
    prompt.default_button = QMessageBox::Ok;
    prompt.parent = this;
    Ask_User(prompt);
    btnRefresh_Click();
}

void COM_Setup::reject()
{
    if (Port_Open()) {
        done(QDialog::Accepted);
        return;
    }
    User_Prompt prompt;
    prompt.icon = QMessageBox::Information;
    prompt.text = QStringLiteral("Closing Application");
    prompt.informative_text =
        QStringLiteral("This application requires a COM port to work.  Do you want to exit ") +
        QCoreApplication::applicationName() + QStringLiteral("?");
    prompt.buttons = QMessageBox::Ok | QMessageBox::Cancel;
    prompt.default_button = QMessageBox::Cancel;
    prompt.parent = this;
    if (Ask_User(prompt) == QMessageBox::Ok)
        done(QDialog::Rejected);
}

void COM_Setup::closeEvent(QCloseEvent* event)
{
    // The window's close button leaves the way Escape does; Cancel keeps the
    // dialog open.
    reject();
    event->setAccepted(!isVisible());
}

} // namespace Quillon
