#include "band_strip.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace Views {

Band_Strip::Band_Strip(const Chart_Data* data, std::function<Mapping()> mapping, QWidget* parent)
    : QWidget(parent), Data(data), Map(std::move(mapping))
{
    setObjectName(QStringLiteral("bandStrip"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMouseTracking(true);
}

void Band_Strip::paintEvent(QPaintEvent*)
{
    const Mapping m = Map();
    if (!(m.to > m.from))
        return;
    QPainter painter(this);
    const double scale = (m.right - m.left) / (m.to - m.from);
    const QVector<Band> rows[] = {Data->Mode_Bands(), Data->Fault_Bands()};
    for (int row = 0; row < 2; ++row) {
        painter.fillRect(QRectF(m.left, row * (Row_Height + 1), m.right - m.left, Row_Height),
                         palette().window().color().darker(105));
        for (const Band& b : rows[row]) {
            const double x0 = qMax(m.left, m.left + (b.from - m.from) * scale);
            const double x1 = qMin(m.right, m.left + (b.to - m.from) * scale);
            if (x1 < m.left || x0 > m.right)
                continue;
            painter.fillRect(QRectF(x0, row * (Row_Height + 1), qMax(1.0, x1 - x0), Row_Height),
                             b.colour);
        }
    }
}

QString Band_Strip::Text_At(int x) const
{
    const Mapping m = Map();
    if (x < m.left || x > m.right || !(m.right > m.left))
        return QString();
    const double t = m.from + (x - m.left) * (m.to - m.from) / (m.right - m.left);
    QStringList lines;
    for (const Band& b : Data->Mode_Bands())
        if (b.from <= t && t <= b.to)
            lines = QStringList{QStringLiteral("Mode: ") + b.text};
    QString faults = QStringLiteral("none");
    for (const Band& b : Data->Fault_Bands())
        if (b.from <= t && t <= b.to)
            faults = b.text;
    lines << QStringLiteral("Faults: ") + faults;
    return lines.join(QLatin1Char('\n'));
}

bool Band_Strip::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    auto help = static_cast<QHelpEvent*>(event);
    const QString text = Text_At(help->pos().x());
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), text, this);
    return true;
}

} // namespace Views
