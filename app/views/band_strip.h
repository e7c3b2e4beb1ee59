#ifndef APP_VIEWS_BAND_STRIP_H
#define APP_VIEWS_BAND_STRIP_H

#include "chart_data.h"

#include <QWidget>

#include <functional>

namespace Views {

// Two rows of coloured bands under the traces, aligned with their time axis:
// the operating mode and the active faults, named in the tool tip.
class Band_Strip : public QWidget
{
    Q_OBJECT

public:
    // Where the time axis runs, in this widget's x, and the time it shows.
    struct Mapping
    {
        double left = 0, right = 1, from = 0, to = 1;
    };
    Band_Strip(const Chart_Data* data, std::function<Mapping()> mapping, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {200, 2 * Row_Height + 2}; }
    // The mode and faults at x, as the tool tip says them.
    QString Text_At(int x) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    static constexpr int Row_Height = 12;
    const Chart_Data* Data;
    std::function<Mapping()> Map;
};

} // namespace Views

#endif // APP_VIEWS_BAND_STRIP_H
