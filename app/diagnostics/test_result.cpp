#include "diagnostics/test_result.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QRegularExpression>

namespace Diagnostics {

namespace {

const struct
{
    Test_Kind kind;
    const char* key;
    const char* title;
} Tests[] = {
    {Test_Kind::Leak_Down, "leak", "Air leak-down"},
    {Test_Kind::Sensors, "sensors", "Height sensors"},
    {Test_Kind::Compressor, "compressor", "Compressor"},
};

const struct
{
    Outcome outcome;
    const char* key;
} Outcomes[] = {
    {Outcome::Pass, "pass"},
    {Outcome::Fail, "fail"},
    {Outcome::Inconclusive, "inconclusive"},
};

const struct
{
    Figure::Limit_Kind kind;
    const char* key;
} Limit_Kinds[] = {
    {Figure::No_Limit, "none"},
    {Figure::At_Most, "at_most"},
    {Figure::At_Least, "at_least"},
    {Figure::Within, "within"},
};

QString number(double value, int decimals)
{
    return Figure::Number(value, decimals);
}

} // namespace

QString Figure::Number(double value, int decimals)
{
    // No "-0.0": a rate that rounds to nothing reads as nothing.
    QString text = QString::number(value, 'f', decimals);
    if (text.startsWith(QLatin1Char('-')) &&
        QString(text).remove(QRegularExpression(QStringLiteral("[-.0]"))).isEmpty())
        text.remove(0, 1);
    return text;
}

namespace {

QJsonValue json_number(double value)
{
    // JSON has no NaN: a figure that was not measured is null.
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue();
}

double number_of(const QJsonValue& value)
{
    return value.isDouble() ? value.toDouble() : std::nan("");
}

} // namespace

QString Test_Key(Test_Kind kind)
{
    for (const auto& t : Tests)
        if (t.kind == kind)
            return QLatin1String(t.key);
    return QString();
}

bool Test_From_Key(const QString& key, Test_Kind* kind)
{
    for (const auto& t : Tests) {
        if (key == QLatin1String(t.key)) {
            *kind = t.kind;
            return true;
        }
    }
    return false;
}

QString Test_Title(Test_Kind kind)
{
    for (const auto& t : Tests)
        if (t.kind == kind)
            return QLatin1String(t.title);
    return QString();
}

QString Outcome_Key(Outcome outcome)
{
    for (const auto& o : Outcomes)
        if (o.outcome == outcome)
            return QLatin1String(o.key);
    return QString();
}

QString Outcome_Text(Outcome outcome)
{
    return Outcome_Key(outcome).toUpper();
}

bool Figure::Passed() const
{
    if (!Measured())
        return false;
    switch (kind) {
    case At_Most:
        return value <= limit;
    case At_Least:
        return value >= limit;
    case Within:
        return std::abs(value) <= limit;
    case No_Limit:
        break;
    }
    return true;
}

QString Figure::Limit_Text() const
{
    const QString with_unit = number(limit, decimals) + (unit.isEmpty() ? QString() : ' ' + unit);
    switch (kind) {
    case At_Most:
        return QStringLiteral("at most ") + with_unit;
    case At_Least:
        return QStringLiteral("at least ") + with_unit;
    case Within:
        return QStringLiteral("within \u00b1") + with_unit;
    case No_Limit:
        break;
    }
    return QString();
}

QString Figure::Text() const
{
    QString text = Measured() ? number(value, decimals) + (unit.isEmpty() ? QString() : ' ' + unit)
                              : QStringLiteral("not measured");
    if (kind != No_Limit)
        text += QStringLiteral(" (") + Limit_Text() + ')';
    return text;
}

QJsonObject Figure::To_Json() const
{
    QJsonObject json{{"key", key},
                     {"name", name},
                     {"value", json_number(value)},
                     {"unit", unit},
                     {"decimals", decimals}};
    for (const auto& k : Limit_Kinds)
        if (k.kind == kind)
            json.insert("limit_kind", QLatin1String(k.key));
    if (kind != No_Limit) {
        json.insert("limit", json_number(limit));
        json.insert("passed", Passed());
    }
    if (!note.isEmpty())
        json.insert("note", note);
    return json;
}

Figure Figure::From_Json(const QJsonObject& json)
{
    Figure f;
    f.key = json.value("key").toString();
    f.name = json.value("name").toString();
    f.value = number_of(json.value("value"));
    f.unit = json.value("unit").toString();
    f.decimals = qBound(0, json.value("decimals").toInt(1), 6);
    const QString kind = json.value("limit_kind").toString();
    for (const auto& k : Limit_Kinds)
        if (kind == QLatin1String(k.key))
            f.kind = k.kind;
    f.limit = number_of(json.value("limit"));
    f.note = json.value("note").toString();
    return f;
}

const Figure* Result::Find(const QString& key) const
{
    for (const Figure& f : figures)
        if (f.key == key)
            return &f;
    return nullptr;
}

QString Result::Verdict_Line() const
{
    QString line = Test_Title(test) + QStringLiteral(": ") + Outcome_Text(outcome);
    if (!summary.isEmpty())
        line += QStringLiteral(" - ") + summary;
    return line;
}

QJsonObject Result::To_Json() const
{
    QJsonArray list;
    for (const Figure& f : figures)
        list.append(f.To_Json());
    QJsonObject found;
    for (auto i = findings.cbegin(); i != findings.cend(); ++i)
        found.insert(i.key(), i.value());
    QJsonObject json{
        {"test", Test_Key(test)}, {"title", Test_Title(test)}, {"outcome", Outcome_Key(outcome)},
        {"summary", summary},     {"seconds", seconds},        {"figures", list},
        {"findings", found}};
    if (started.isValid())
        json.insert("started",
                    started.toOffsetFromUtc(started.offsetFromUtc()).toString(Qt::ISODate));
    if (outcome == Outcome::Inconclusive) {
        json.insert("reason_code", reason_code);
        json.insert("reason", reason);
    }
    return json;
}

bool Result::From_Json(const QJsonObject& json, Result* result)
{
    Result r;
    bool known_outcome = false;
    const QString outcome = json.value("outcome").toString();
    for (const auto& o : Outcomes) {
        if (outcome == QLatin1String(o.key)) {
            r.outcome = o.outcome;
            known_outcome = true;
        }
    }
    if (!known_outcome || !Test_From_Key(json.value("test").toString(), &r.test))
        return false;
    r.summary = json.value("summary").toString();
    r.reason_code = json.value("reason_code").toString();
    r.reason = json.value("reason").toString();
    r.seconds = json.value("seconds").toDouble();
    r.started = QDateTime::fromString(json.value("started").toString(), Qt::ISODate);
    for (const QJsonValue& f : json.value("figures").toArray())
        r.figures.append(Figure::From_Json(f.toObject()));
    const QJsonObject found = json.value("findings").toObject();
    for (auto i = found.begin(); i != found.end(); ++i)
        r.findings.insert(i.key(), i.value().toString());
    *result = r;
    return true;
}

} // namespace Diagnostics
