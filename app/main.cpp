#include "application_identity.h"
#include "main_window.h"

#include <virtual_controller.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QTextStream>
#include <QTimer>

#include <memory>

namespace {

struct Options
{
    QString port;
    bool simulate = false;
    QString screenshot;
    int quit_after_ms = 4000;
};

// Qt's own options stay Qt's: QApplication has taken them out already.
bool parse(const QApplication& app, Options* options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Service tool for the air-suspension controller."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Open this port without asking: a port name "
                                                 "such as ttyUSB0, or a device path."),
                                  QStringLiteral("NAME"));
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Start the built-in virtual controller and connect to it."));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Save a picture of the window to FILE (PNG) and exit."),
        QStringLiteral("FILE"));
    const QCommandLineOption quit_after(
        QStringLiteral("quit-after"),
        QStringLiteral("Milliseconds before the screenshot is taken (default 4000)."),
        QStringLiteral("MS"), QStringLiteral("4000"));
    parser.addOptions({port, simulate, screenshot, quit_after});
    parser.process(app);

    options->port = parser.value(port);
    options->simulate = parser.isSet(simulate);
    options->screenshot = parser.value(screenshot);
    bool ok = false;
    options->quit_after_ms = parser.value(quit_after).toInt(&ok);
    if (!ok || options->quit_after_ms < 0) {
        QTextStream(stderr) << "--quit-after takes a number of milliseconds\n";
        return false;
    }
    if (options->simulate && !options->port.isEmpty()) {
        QTextStream(stderr) << "--simulate and --port cannot be used together\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Quillon::init();
    QCoreApplication::setOrganizationName(Identity::Organisation_Name);
    QCoreApplication::setOrganizationDomain(Identity::Organisation_Domain);
    QCoreApplication::setApplicationName(Identity::Application_Name);
    QCoreApplication::setApplicationVersion(Identity::Version + QLatin1Char('.') +
                                            Identity::Date_Code);

    Options options;
    if (!parse(app, &options))
        return 2;

    // Declared before the window, so that it outlives the window's worker.
    std::unique_ptr<Sim::Virtual_Controller> controller;
    MainWindow window;
    window.show();
    const QString icon =
        QCoreApplication::applicationDirPath() + QDir::separator() + QStringLiteral("branding.ico");
    if (QFile::exists(icon))
        QApplication::setWindowIcon(QIcon(icon));

    if (!options.screenshot.isEmpty()) {
        QTimer::singleShot(options.quit_after_ms, &window, [&window, &options] {
            if (!window.grab().save(options.screenshot, "PNG"))
                QTextStream(stderr) << "could not write " << options.screenshot << '\n';
            window.Quit_Now();
        });
    }

    if (options.simulate) {
        controller = std::make_unique<Sim::Virtual_Controller>();
        std::string error;
        if (!controller->start(&error)) {
            QTextStream(stderr) << "virtual controller: " << QString::fromStdString(error) << '\n';
            return 1;
        }
        window.Open_Port(QString::fromStdString(controller->device_path()));
    } else if (!options.port.isEmpty()) {
        window.Open_Port(options.port);
    } else {
        window.Open_COM_Dialog();
    }
    return app.exec();
}
