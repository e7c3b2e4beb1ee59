#include <Quillon.h>

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    Quillon::init();
    QTextStream(stdout) << "Vantor with Quillon " << Quillon::getfullversion() << '\n';
    return 0;
}
