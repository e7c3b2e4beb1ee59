#include "traffic_dock.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>

#include <Quillon.h>

#include <algorithm>
#include <climits>
#include <iterator>
#include <utility>

namespace Views {

namespace {

// Rows a find looks at before the interface answers again: a few tens of
// milliseconds' work.
constexpr int Find_Slice_Rows = 20000;

// Live, the table moves on four times a second: the line's 550 rows a second
// cannot be read as they come, and each move repaints and lays out the text
// of every visible cell, which costs more than all the rest of the dock.
constexpr int Refresh_Ms = 250;

} // namespace

Traffic_Dock::Traffic_Dock(QWidget* parent)
    : QDockWidget(QStringLiteral("Traffic"), parent), Rows(new Traffic_Model(this)),
      Recording(new Recorded_Traffic_Model(this)), Shown(new Traffic_Filter(this)),
      Table(new QTableView), Pause(new QCheckBox(QStringLiteral("Pause"))),
      Find_Text(new QLineEdit), Find_Status(new QLabel), Finder(new QTimer(this)),
      Refresh(new QTimer(this))
{
    setObjectName(QStringLiteral("dockTraffic"));

    auto code = new QLineEdit;
    code->setObjectName(QStringLiteral("tbxTrafficCode"));
    code->setPlaceholderText(QStringLiteral("all codes"));
    code->setMaxLength(3);
    code->setMinimumWidth(code->fontMetrics().horizontalAdvance(code->placeholderText()) + 16);
    code->setMaximumWidth(qMax(80, code->minimumWidth()));
    auto direction = new QComboBox;
    direction->setObjectName(QStringLiteral("cbxTrafficDirection"));
    direction->addItems({QStringLiteral("all directions"), Direction_Name(Direction::Request),
                         Direction_Name(Direction::Answer), Direction_Name(Direction::Noise)});
    Find_Text->setObjectName(QStringLiteral("tbxTrafficFind"));
    Find_Text->setPlaceholderText(QStringLiteral("code, bytes or meaning"));
    Find_Text->setClearButtonEnabled(true);
    Pause->setObjectName(QStringLiteral("cbxTrafficPause"));
    auto save = new QPushButton(QStringLiteral("Save..."));
    save->setObjectName(QStringLiteral("btnTrafficSave"));
    connect(code, &QLineEdit::textChanged, this, [this](const QString& text) {
        Shown->Set_Code(text);
        update_view();
    });
    connect(direction, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int index) {
                Shown->Set_Direction(index - 1);
                update_view();
            });
    connect(Find_Text, &QLineEdit::returnPressed, this,
            [this] { Start_Find(Find_Text->text().trimmed(), true); });
    Find_Status->setObjectName(QStringLiteral("lblTrafficFind"));
    // Between slices of a long find the interface answers the technician.
    Finder->setInterval(0);
    connect(Finder, &QTimer::timeout, this, [this] { find_step(Find_Slice_Rows); });
    Refresh->setSingleShot(true);
    Refresh->setInterval(Refresh_Ms);
    connect(Refresh, &QTimer::timeout, this, [this] {
        if (!Pause->isChecked() && !Waiting.isEmpty())
            show_waiting();
    });
    connect(Pause, &QCheckBox::toggled, this, &Traffic_Dock::Set_Paused);
    connect(save, &QPushButton::clicked, this, &Traffic_Dock::Save_Dialog);
    // Hidden, the dock is not fed: the sends counted so far, and the rows
    // not yet shown, cannot be continued from what the line sends once it is
    // shown again.
    connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        On_Screen = visible;
        if (!visible) {
            Sends.clear();
            if (!Pause->isChecked())
                Waiting.clear();
            Refresh->stop();
        }
    });
    static const struct
    {
        QKeySequence keys;
        bool forward;
    } finds[] = {{QKeySequence(Qt::Key_F3), true}, {QKeySequence(Qt::SHIFT + Qt::Key_F3), false}};
    for (const auto& f : finds) {
        auto action = new QAction(this);
        action->setShortcut(f.keys);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(action);
        connect(action, &QAction::triggered, this,
                [this, forward = f.forward] { Start_Find(Find_Text->text().trimmed(), forward); });
    }

    Table->setObjectName(QStringLiteral("tblTraffic"));
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Table->setWordWrap(false);
    Table->setTextElideMode(Qt::ElideRight);
    Table->verticalHeader()->hide();
    // Rows of one height: a view of millions of rows never measures them.
    Table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Table->verticalHeader()->setDefaultSectionSize(Table->fontMetrics().height() + 4);
    Table->horizontalHeader()->setStretchLastSection(true);
    update_view();
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
    auto find_label = new QLabel(QStringLiteral("Find:"));
    find_label->setBuddy(Find_Text);
    bar->addWidget(find_label);
    bar->addWidget(Find_Text, 1);
    bar->addWidget(Find_Status);
    bar->addWidget(Pause);
    bar->addWidget(save);
    layout->addLayout(bar);
    layout->addWidget(Table);
    setWidget(page);
}

Traffic_Table* Traffic_Dock::Source() const
{
    return Recording->Is_Open() ? static_cast<Traffic_Table*>(Recording)
                                : static_cast<Traffic_Table*>(Rows);
}

void Traffic_Dock::update_view()
{
    // The filter maps every row of its source: it stands between only while
    // it filters the line's rows. A recording's millions of rows are chosen
    // as they are read from the file, a slice at a time.
    QAbstractItemModel* model = Source();
    Recording->Choose(Shown->Choice());
    if (Shown->Choice().Is_Choosing() && !Recording->Is_Open()) {
        if (Shown->sourceModel() != Rows)
            Shown->setSourceModel(Rows);
        model = Shown;
    } else {
        Shown->setSourceModel(nullptr);
    }
    end_find(QString());
    if (Table->model() == model)
        return;
    QItemSelectionModel* old = Table->selectionModel();
    Table->setModel(model);
    delete old;
    // A new model comes with columns of the default width.
    static const struct
    {
        int column;
        const char* widest;
    } widths[] = {{Traffic_Table::Time, "00000.000  "},
                  {Traffic_Table::Delta, "00000.000  "},
                  {Traffic_Table::Dir, "request, unanswered  "},
                  {Traffic_Table::Bytes, "PXV 00894<1F><0A>  "}};
    const QFontMetrics metrics = Table->fontMetrics();
    const QFontMetrics fixed(Bytes_Font());
    for (const auto& w : widths)
        Table->setColumnWidth(w.column, (w.column == Traffic_Table::Bytes ? fixed : metrics)
                                            .horizontalAdvance(QLatin1String(w.widest)));
    connect(Table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!Following && current.isValid())
                    emit Row_Time_Selected(current.data(Traffic_Table::Time_Role).toDouble());
            });
}

void Traffic_Dock::Add_Frames(const QVector<Line_Frame>& frames)
{
    QVector<Traffic_Row> rows;
    rows.reserve(frames.size());
    for (const Line_Frame& f : frames) {
        Traffic_Row row{double(f.t_us) / 1e6, f.direction, f.bytes, {}, {}, Row_Kind::Frame, 0, 0};
        if (f.timeout && f.packet) {
            const QByteArray request(f.packet->getData(), f.packet->getLength());
            row.kind = Row_Kind::Timeout;
            row.sends = qMax(1, Sends.value(request));
            row.bytes = request;
            row.note = Frame_Meaning(Direction::Request, request);
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
    Waiting += rows;
    if (Waiting.size() > Traffic_Model::Max_Rows)
        Waiting.remove(0, Waiting.size() - Traffic_Model::Max_Rows);
    // The first rows after a quiet spell show at once; those that follow
    // wait for the next refresh.
    if (!Pause->isChecked() && !Refresh->isActive())
        show_waiting();
}

void Traffic_Dock::show_waiting()
{
    QScrollBar* scroll = Table->verticalScrollBar();
    const bool at_end = scroll->value() == scroll->maximum();
    Rows->Append(std::exchange(Waiting, {}));
    if (at_end)
        Table->scrollToBottom();
    if (Refresh->interval() > 0)
        Refresh->start();
}

void Traffic_Dock::Set_Refresh_Interval(int ms)
{
    Refresh->setInterval(ms);
    if (ms == 0) {
        Refresh->stop();
        if (!Pause->isChecked() && !Waiting.isEmpty())
            show_waiting();
    }
}

bool Traffic_Dock::Show_Recording(const QString& file, QString* error)
{
    Clear();
    const bool ok = Recording->Open(file, error);
    update_view();
    return ok;
}

void Traffic_Dock::Clear()
{
    Waiting.clear();
    Sends.clear();
    Rows->Clear();
    Recording->Close();
    update_view();
}

void Traffic_Dock::Set_Paused(bool paused)
{
    if (Pause->isChecked() != paused)
        Pause->setChecked(paused); // comes back here
    else if (!paused && !Waiting.isEmpty() && !Refresh->isActive())
        show_waiting();
}

void Traffic_Dock::begin_find(const QString& text, bool forward)
{
    // A recording is searched whole.
    Recording->Index_All();
    const int count = Table->model()->rowCount();
    const QModelIndex current = Table->currentIndex();
    Finding = Search{text, forward,
                     current.isValid() ? current.row()
                     : forward         ? -1
                                       : count,
                     text.isEmpty() ? 0 : count, false};
    Find_Status->setText(QStringLiteral("Searching..."));
}

bool Traffic_Dock::find_step(int limit)
{
    QAbstractItemModel* model = Table->model();
    const int count = model->rowCount();
    for (; limit > 0 && Finding.left > 0 && count > 0; --limit, --Finding.left) {
        const int row = ((Finding.row + (Finding.forward ? 1 : -1)) % count + count) % count;
        Finding.row = row;
        if (Source()->Matches(source_row(row), Finding.text)) {
            Finding.found = true;
            Table->selectRow(row);
            Table->scrollTo(model->index(row, 0), QAbstractItemView::PositionAtCenter);
            end_find(QString());
            return true;
        }
    }
    if (Finding.left > 0 && count > 0)
        return false;
    end_find(QStringLiteral("Not found"));
    return true;
}

void Traffic_Dock::end_find(const QString& status)
{
    Finding.left = 0;
    Finder->stop();
    Find_Status->setText(status);
}

bool Traffic_Dock::Find(const QString& text, bool forward)
{
    begin_find(text, forward);
    while (!find_step(INT_MAX)) {
    }
    return Finding.found;
}

void Traffic_Dock::Start_Find(const QString& text, bool forward)
{
    begin_find(text, forward);
    if (!find_step(Find_Slice_Rows))
        Finder->start();
}

bool Traffic_Dock::Is_Finding() const
{
    return Finder->isActive();
}

void Traffic_Dock::Select_Nearest(double t_s)
{
    Recording->Index_All();
    QAbstractItemModel* model = Table->model();
    const auto time = [model](int row) {
        return model->index(row, 0).data(Traffic_Table::Time_Role).toDouble();
    };
    int low = 0, high = model->rowCount();
    if (high == 0)
        return;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (time(middle) < t_s)
            low = middle + 1;
        else
            high = middle;
    }
    if (low == model->rowCount() || (low > 0 && t_s - time(low - 1) <= time(low) - t_s))
        --low;
    // The charts asked: they are not told back.
    Following = true;
    Table->selectRow(low);
    Table->scrollTo(model->index(low, 0), QAbstractItemView::PositionAtCenter);
    Following = false;
}

int Traffic_Dock::source_row(int row) const
{
    return Table->model() == Shown ? Shown->mapToSource(Shown->index(row, 0)).row() : row;
}

QString Traffic_Dock::Selected_Text() const
{
    QModelIndexList rows = Table->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    QString text;
    for (const QModelIndex& index : qAsConst(rows))
        text += Source()->Row_Text(source_row(index.row())) + QLatin1Char('\n');
    return text;
}

void Traffic_Dock::Copy_Selection()
{
    QApplication::clipboard()->setText(Selected_Text());
}

bool Traffic_Dock::Save_Shown(const QString& file, QString* error,
                              const std::function<bool(int, int)>& progress) const
{
    Recording->Index_All();
    const int count = Table->model()->rowCount();
    QSaveFile out(file);
    bool ok = out.open(QIODevice::WriteOnly | QIODevice::Text);
    // A whole recording is millions of lines: they go out a piece at a time.
    QByteArray piece;
    for (int row = 0; ok && row < count; ++row) {
        piece += Source()->Row_Text(source_row(row)).toUtf8() + '\n';
        if (piece.size() >= 1 << 16) {
            ok = out.write(piece) == piece.size();
            piece.clear();
        }
        if (ok && progress && row % 1000 == 999 && !progress(row + 1, count)) {
            out.cancelWriting();
            *error = QString();
            return false;
        }
    }
    if (ok && out.write(piece) == piece.size() && out.commit())
        return true;
    *error = QStringLiteral("Cannot write %1: %2").arg(file, out.errorString());
    return false;
}

void Traffic_Dock::Save_Dialog()
{
    const QString file = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save Traffic"), QStringLiteral("traffic.txt"),
        QStringLiteral("Text files (*.txt);;All files (*)"));
    if (file.isEmpty())
        return;
    QProgressDialog progress(QStringLiteral("Saving the traffic..."), QStringLiteral("Cancel"), 0,
                             Table->model()->rowCount(), this);
    progress.setWindowTitle(QStringLiteral("Save Traffic"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    // The box lets the line's rows in: they wait, as when paused, so that
    // the rows saved are those shown when Save was chosen.
    const bool was_paused = Pause->isChecked();
    Set_Paused(true);
    QString error;
    const bool saved = Save_Shown(file, &error, [&progress](int done, int count) {
        progress.setMaximum(count);
        progress.setValue(done);
        return !progress.wasCanceled();
    });
    Set_Paused(was_paused);
    if (!saved && !error.isEmpty())
        Quillon::Ask_User(QMessageBox::Critical, QStringLiteral("Save Traffic"), error,
                          QMessageBox::Ok, QMessageBox::NoButton, this);
}

} // namespace Views
