#include "traffic_dock.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QTableView>

#include <Quillon.h>

#include <algorithm>
#include <iterator>
#include <utility>

namespace Views {

Traffic_Dock::Traffic_Dock(QWidget* parent)
    : QDockWidget(QStringLiteral("Traffic"), parent), Rows(new Traffic_Model(this)),
      Shown(new Traffic_Filter(this)), Table(new QTableView),
      Pause(new QCheckBox(QStringLiteral("Pause")))
{
    setObjectName(QStringLiteral("dockTraffic"));
    Shown->setSourceModel(Rows);

    auto code = new QLineEdit;
    code->setObjectName(QStringLiteral("tbxTrafficCode"));
    code->setPlaceholderText(QStringLiteral("all codes"));
    code->setMaxLength(3);
    code->setMaximumWidth(80);
    auto direction = new QComboBox;
    direction->setObjectName(QStringLiteral("cbxTrafficDirection"));
    direction->addItems({QStringLiteral("all directions"), Direction_Name(Direction::Request),
                         Direction_Name(Direction::Answer), Direction_Name(Direction::Noise)});
    Pause->setObjectName(QStringLiteral("cbxTrafficPause"));
    auto save = new QPushButton(QStringLiteral("Save..."));
    save->setObjectName(QStringLiteral("btnTrafficSave"));
    connect(code, &QLineEdit::textChanged, Shown, &Traffic_Filter::Set_Code);
    connect(direction, QOverload<int>::of(&QComboBox::currentIndexChanged), Shown,
            [this](int index) { Shown->Set_Direction(index - 1); });
    connect(Pause, &QCheckBox::toggled, this, &Traffic_Dock::Set_Paused);
    connect(save, &QPushButton::clicked, this, &Traffic_Dock::Save_Dialog);
    // Hidden, the dock is not fed: the sends counted so far cannot be
    // continued from what the line sends once it is shown again.
    connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        On_Screen = visible;
        if (!visible)
            Sends.clear();
    });

    Table->setObjectName(QStringLiteral("tblTraffic"));
    Table->setModel(Shown);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Table->setWordWrap(false);
    Table->verticalHeader()->hide();
    Table->verticalHeader()->setDefaultSectionSize(Table->fontMetrics().height() + 4);
    Table->horizontalHeader()->setStretchLastSection(true);
    const QFontMetrics metrics = Table->fontMetrics();
    Table->setColumnWidth(Traffic_Model::Time,
                          metrics.horizontalAdvance(QStringLiteral("00000.000  ")));
    Table->setColumnWidth(Traffic_Model::Dir,
                          metrics.horizontalAdvance(QStringLiteral("request   ")));
    Table->setColumnWidth(Traffic_Model::Bytes,
                          metrics.horizontalAdvance(QStringLiteral("PXV 00894<1F><0A>   ")));
    auto copy = new QAction(QStringLiteral("Copy"), Table);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    Table->addAction(copy);
    Table->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(copy, &QAction::triggered, this, &Traffic_Dock::Copy_Selection);

    auto page = new QWidget;
    auto layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    auto bar = new QHBoxLayout;
    bar->addWidget(new QLabel(QStringLiteral("Code:")));
    bar->addWidget(code);
    bar->addWidget(direction);
    bar->addWidget(Pause);
    bar->addStretch();
    bar->addWidget(save);
    layout->addLayout(bar);
    layout->addWidget(Table);
    setWidget(page);
}

void Traffic_Dock::Add_Frames(const QVector<Line_Frame>& frames)
{
    QVector<Traffic_Row> rows;
    rows.reserve(frames.size());
    for (const Line_Frame& f : frames) {
        Traffic_Row row{double(f.t_us) / 1e6, f.direction, f.bytes, {}, {}};
        if (f.timeout && f.packet) {
            const QByteArray request(f.packet->getData(), f.packet->getLength());
            const int sends = qMax(1, Sends.value(request));
            row.bytes.clear();
            row.note = QStringLiteral("time-out after %1 send%2: %3")
                           .arg(sends)
                           .arg(sends == 1 ? "" : "s")
                           .arg(Frame_Meaning(Direction::Request, request));
            row.code = Frame_Code(Direction::Request, request);
        } else if (f.direction == Direction::Request) {
            QByteArray request = f.bytes;
            request.chop(1);
            ++Sends[request];
        } else if (f.direction == Direction::Answer) {
            // An answer ends the count of its own request only: other items'
            // exchanges go on between the resends of one that times out.
            const QString code = Frame_Code(f.direction, f.bytes);
            for (auto it = Sends.begin(); it != Sends.end();) {
                const bool get = it.key().startsWith("get ");
                const bool answered =
                    code.isEmpty() ? !get : get && Frame_Code(Direction::Request, it.key()) == code;
                it = answered ? Sends.erase(it) : std::next(it);
            }
        }
        rows.append(std::move(row));
    }
    append(rows);
}

void Traffic_Dock::append(const QVector<Traffic_Row>& rows)
{
    if (Pause->isChecked()) {
        Held += rows;
        if (Held.size() > Traffic_Model::Max_Rows)
            Held.remove(0, Held.size() - Traffic_Model::Max_Rows);
        return;
    }
    QScrollBar* scroll = Table->verticalScrollBar();
    const bool at_end = scroll->value() == scroll->maximum();
    Rows->Append(rows);
    if (at_end)
        Table->scrollToBottom();
}

void Traffic_Dock::Show_Rows(const QVector<Traffic_Row>& rows)
{
    Clear();
    Rows->Append(rows);
}

void Traffic_Dock::Clear()
{
    Held.clear();
    Sends.clear();
    Rows->Clear();
}

void Traffic_Dock::Set_Paused(bool paused)
{
    if (Pause->isChecked() != paused)
        Pause->setChecked(paused); // comes back here
    else if (!paused && !Held.isEmpty())
        append(std::exchange(Held, {}));
}

QString Traffic_Dock::Shown_Text(bool selected_only) const
{
    QString text;
    QModelIndexList rows;
    if (selected_only) {
        rows = Table->selectionModel()->selectedRows();
        std::sort(rows.begin(), rows.end());
    } else {
        for (int i = 0; i < Shown->rowCount(); ++i)
            rows << Shown->index(i, 0);
    }
    for (const QModelIndex& index : qAsConst(rows))
        text += Rows->Row_Text(Shown->mapToSource(index).row()) + QLatin1Char('\n');
    return text;
}

void Traffic_Dock::Copy_Selection()
{
    QApplication::clipboard()->setText(Shown_Text(true));
}

bool Traffic_Dock::Save_Shown(const QString& file, QString* error) const
{
    QSaveFile out(file);
    if (out.open(QIODevice::WriteOnly | QIODevice::Text) &&
        out.write(Shown_Text(false).toUtf8()) >= 0 && out.commit())
        return true;
    *error = QStringLiteral("Cannot write %1: %2").arg(file, out.errorString());
    return false;
}

void Traffic_Dock::Save_Dialog()
{
    const QString file = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save Traffic"), QStringLiteral("traffic.txt"),
        QStringLiteral("Text files (*.txt);;All files (*)"));
    QString error;
    if (!file.isEmpty() && !Save_Shown(file, &error))
        Quillon::Ask_User(QMessageBox::Critical, QStringLiteral("Save Traffic"), error,
                          QMessageBox::Ok, QMessageBox::NoButton, this);
}

} // namespace Views
