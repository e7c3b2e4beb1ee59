#include "entry_points.h"

#include "packets/packet_class.h"

#include <QMetaType>

namespace Quillon {

namespace {
const char Library_Version[] = "1.0";
const char Library_Date_Code[] = "1503231043";
} // namespace

int init()
{
    // Each type is registered once per process; the id is kept for later calls.
    static const int packet_handle_id =
        qRegisterMetaType<QSharedPointer<Quillon::Packet_Class>>(
            "QSharedPointer<Quillon::Packet_Class>");
    return packet_handle_id;
}

QString getversion()
{
    return QString::fromLatin1(Library_Version);
}

QString getdatecode()
{
    return QString::fromLatin1(Library_Date_Code);
}

QString getfullversion()
{
    return getversion() + QLatin1Char('.') + getdatecode();
}

} // namespace Quillon
