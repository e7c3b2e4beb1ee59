#include "report/job_info.h"

#include <QRegularExpression>
#include <QSettings>

namespace Service_Report {

namespace {

const struct
{
    const char* key;
    const char* label;
    QString Job_Info::*member;
    int longest;
} Fields[] = {
    {"customer", "Customer", &Job_Info::customer, 200},
    {"vehicle", "Vehicle", &Job_Info::vehicle, 200},
    {"vin", "VIN", &Job_Info::vin, 40},
    {"odometer", "Odometer", &Job_Info::odometer, 40},
    {"technician", "Technician", &Job_Info::technician, 200},
    {"job", "Job number", &Job_Info::job, 80},
    {"notes", "Notes", &Job_Info::notes, 4000},
};

const QString Technician_Key = QStringLiteral("Job/technician");

} // namespace

QString Clean_Text(const QString& text, int longest, bool lines)
{
    QString clean;
    clean.reserve(qMin(text.size(), longest));
    for (const QChar c : text) {
        if (c == QLatin1Char('\n') && lines)
            clean += c;
        else if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            clean += QLatin1Char(' ');
        else if (c.category() != QChar::Other_Control && c.category() != QChar::Other_Format &&
                 c.category() != QChar::Other_NotAssigned)
            clean += c;
    }
    clean = clean.trimmed();
    if (clean.size() > longest)
        clean = clean.left(longest - 1) + QChar(0x2026);
    return clean;
}

const QStringList& Job_Info::Keys()
{
    static const QStringList keys = [] {
        QStringList list;
        for (const auto& f : Fields)
            list << QLatin1String(f.key);
        return list;
    }();
    return keys;
}

QString Job_Info::Label(const QString& key)
{
    for (const auto& f : Fields)
        if (key == QLatin1String(f.key))
            return QLatin1String(f.label);
    return key;
}

QString* Job_Info::Entry(const QString& key)
{
    for (const auto& f : Fields)
        if (key == QLatin1String(f.key))
            return &(this->*f.member);
    return nullptr;
}

const QString* Job_Info::Entry(const QString& key) const
{
    return const_cast<Job_Info*>(this)->Entry(key);
}

bool Job_Info::Set(const QString& key, const QString& value)
{
    for (const auto& f : Fields) {
        if (key == QLatin1String(f.key)) {
            this->*f.member = Clean_Text(value, f.longest, f.member == &Job_Info::notes);
            return true;
        }
    }
    return false;
}

QList<QPair<QString, QString>> Job_Info::Entries() const
{
    QList<QPair<QString, QString>> entries;
    for (const auto& f : Fields)
        if (!(this->*f.member).isEmpty())
            entries << qMakePair(QString::fromLatin1(f.key), this->*f.member);
    return entries;
}

bool Job_Info::Vin_Valid(const QString& vin)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-HJ-NPR-Z0-9]{17}$"));
    return pattern.match(vin).hasMatch();
}

bool Job_Info::Parse_Option(const QString& option, Job_Info* job, QString* error)
{
    const int equals = option.indexOf(QLatin1Char('='));
    const QString key = option.left(equals).trimmed().toLower();
    if (equals < 0 || !job->Entry(key)) {
        *error = QStringLiteral("--job takes KEY=VALUE with KEY one of %1, not \"%2\"")
                     .arg(Keys().join(QStringLiteral(", ")), Clean_Text(option, 60));
        return false;
    }
    return job->Set(key, option.mid(equals + 1));
}

QString Job_Info::Remembered_Technician()
{
    return QSettings().value(Technician_Key).toString();
}

void Job_Info::Remember_Technician(const QString& name)
{
    QSettings().setValue(Technician_Key, name);
}

} // namespace Service_Report
