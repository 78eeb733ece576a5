#include "operator/framefronta.h"

#include "engine/candidate.h"
#include "engine/datetime.h"
#include "engine/helpers.h"
#include "engine/stationmessage.h"
#include "engine/userprompt.h"
#include "operator/candidateproperties.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr int DesignedRows = 8;
constexpr int StateWidth = 92;

QLabel* BoldLabel(const QString& text, const QColor& colour, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
    return label;
}

QPushButton* PurpleButton(const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    QFont font = button->font();
    font.setBold(true);
    button->setFont(font);
    QPalette pal = button->palette();
    pal.setColor(QPalette::ButtonText, QColor(128, 0, 128));
    button->setPalette(pal);
    // Wide enough for "Otevřít dveře" and a three-digit number at any scaling.
    button->setMinimumWidth(
        qMax(110, button->fontMetrics().horizontalAdvance(u"Otevřít dveře"_s) + 24));
    QSizePolicy policy = button->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    button->setSizePolicy(policy);
    return button;
}

QString MinutesText(int minutes) {
    return ShortTime(minutes / 1440.0);
}

void SetBackground(QWidget* widget, const QColor& colour) {
    widget->setAutoFillBackground(true);
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Window, colour);
    widget->setPalette(pal);
}

QColor NormalColour() {
    return QApplication::palette().color(QPalette::Button);
}

} // namespace

TFrameFronta::TFrameFronta(int mask, IFrameHost* host, QWidget* parent)
    : QWidget(parent), QueueMask(mask), Host(host) {
    setObjectName(u"FrameFronta"_s + QString::number(mask));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);

    // Counts: served, and the averages that are kept but not shown.
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(u"Ošetřeno"_s, this));
    OsetrenoLb = BoldLabel(u"00"_s, Qt::blue, this);
    top->addWidget(OsetrenoLb);
    top->addWidget(new QLabel(u"pac."_s, this));
    auto* serveCaption = new QLabel(u"Průměr ošetření"_s, this);
    OsetreniLb = new QLabel(this);
    auto* serveUnit = new QLabel(u"hod"_s, this);
    auto* waitCaption = new QLabel(u"Průměr čekání"_s, this);
    CekaniLb = new QLabel(this);
    auto* waitUnit = new QLabel(u"hod"_s, this);
    for (QLabel* hidden : {serveCaption, OsetreniLb, serveUnit, waitCaption, CekaniLb, waitUnit}) {
        top->addWidget(hidden);
        hidden->hide();
    }
    top->addStretch();
    layout->addLayout(top);

    // The buttons: evenly spread over two or three places.
    auto* buttons = new QHBoxLayout;
    DalsiKn = PurpleButton(u"Další ??"_s, this);
    OdmitnoutKn = PurpleButton(u"?? Nepřišel"_s, this);
    DoorPlace = new QWidget(this);
    auto* door = new QHBoxLayout(DoorPlace);
    door->setContentsMargins(0, 0, 0, 0);
    door->setSpacing(5);
    OtevritKn = PurpleButton(u"Otevřít dveře"_s, DoorPlace);
    StavDveriIm = new QLabel(DoorPlace);
    StavDveriLb = BoldLabel(QString(), QColor(128, 0, 128), DoorPlace);
    door->addStretch();
    door->addWidget(OtevritKn);
    door->addWidget(StavDveriIm);
    door->addWidget(StavDveriLb);
    door->addStretch();
    DoorPlace->setMinimumWidth(OtevritKn->minimumWidth());
    buttons->addStretch();
    buttons->addWidget(DalsiKn);
    buttons->addStretch();
    buttons->addWidget(OdmitnoutKn);
    buttons->addStretch();
    buttons->addWidget(DoorPlace);
    buttons->addStretch();
    layout->addLayout(buttons);
    StavDveriIm->hide();
    StavDveriLb->hide();
    DoorPlace->hide();
    connect(DalsiKn, &QPushButton::clicked, this,
            [this] { Host->PassCommand(StationMessage::CallNext(QueueMask)); });
    connect(OdmitnoutKn, &QPushButton::clicked, this,
            [this] { Host->PassCommand(StationMessage::NotCome(QueueMask)); });
    connect(OtevritKn, &QPushButton::clicked, this,
            [this] { Host->PassCommand(StationMessage::OpenDoor(QueueMask)); });

    // The candidate list.
    Fronta = new QTreeWidget(this);
    Fronta->setRootIsDecorated(false);
    Fronta->setUniformRowHeights(true);
    Fronta->setSelectionMode(QAbstractItemView::SingleSelection);
    Fronta->setSelectionBehavior(QAbstractItemView::SelectRows);
    Fronta->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Fronta->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    Fronta->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Fronta->setContextMenuPolicy(Qt::CustomContextMenu);
    Fronta->setStyleSheet(
        u"QTreeView::item { border-right: 1px solid #c0c0c0; border-bottom: 1px solid #c0c0c0; }"_s);
    Fronta->setHeaderLabels({u"Číslo"_s, u"Důvod"_s, u"Vstup"_s, u"Vyzván"_s, u"Stav"_s});
    Fronta->header()->setStretchLastSection(false);
    Fronta->header()->setSectionsMovable(false);
    const int widths[] = {35, 157, 39, 47, StateWidth};
    // The designed widths, widened where the font would cut a caption.
    const QFontMetrics headerMetrics(Fronta->header()->font());
    for (int c = 0; c < 5; ++c)
        Fronta->setColumnWidth(
            c,
            qMax(widths[c], headerMetrics.horizontalAdvance(Fronta->headerItem()->text(c)) + 12));
    const int rowHeight = Fronta->fontMetrics().height() + 6;
    ListDesignHeight =
        Fronta->header()->sizeHint().height() + DesignedRows * rowHeight + 2 * Fronta->frameWidth();
    Fronta->setFixedHeight(ListDesignHeight);
    Fronta->setMinimumWidth(35 + 157 + 39 + 47 + StateWidth + 2 * Fronta->frameWidth());
    Fronta->viewport()->installEventFilter(this);
    layout->addWidget(Fronta);

    QueueClosed = new QLabel(this);
    {
        QFont font = QueueClosed->font();
        font.setBold(true);
        font.setItalic(true);
        font.setPixelSize(32);
        QueueClosed->setFont(font);
        QPalette pal = QueueClosed->palette();
        pal.setColor(QPalette::WindowText, Qt::red);
        QueueClosed->setPalette(pal);
    }
    QueueClosed->hide();
    layout->addWidget(QueueClosed);

    PanelDole = new QWidget(this);
    auto* bottom = new QHBoxLayout(PanelDole);
    bottom->setContentsMargins(0, 3, 0, 0);
    bottom->addWidget(new QLabel(u"Čeká"_s, PanelDole));
    CekaLb = BoldLabel(u"00"_s, Qt::blue, PanelDole);
    bottom->addWidget(CekaLb);
    bottom->addWidget(new QLabel(u"pac."_s, PanelDole));
    auto* restCaption = new QLabel(u"Zbývá ještě"_s, PanelDole);
    ZbyvaLb = new QLabel(PanelDole);
    auto* restUnit = new QLabel(u"hod"_s, PanelDole);
    auto* endCaption = new QLabel(u"Konec v"_s, PanelDole);
    KonecLb = new QLabel(PanelDole);
    auto* endUnit = new QLabel(u"hod"_s, PanelDole);
    for (QLabel* hidden : {restCaption, ZbyvaLb, restUnit, endCaption, KonecLb, endUnit}) {
        bottom->addWidget(hidden);
        hidden->hide();
    }
    bottom->addStretch();
    layout->addWidget(PanelDole);
    layout->addStretch();

    // Menus.
    PopupMenuForCandidate = new QMenu(this);
    MenuItemNewCandidate = PopupMenuForCandidate->addMenu(u"Vložit nového čekatele k"_s);
    ActionForwardCandidate = PopupMenuForCandidate->addAction(u"Upřednostnit"_s);
    ActionBackwardsCandidate = PopupMenuForCandidate->addAction(u"Dát na konec"_s);
    MenuItemWaitAgain = PopupMenuForCandidate->addMenu(u"Vrátit zpět do lobrany"_s);
    const char* waits[] = {"na   5 min.", "na 10 min.", "na 15 min.",
                           "na 20 min.",  "na 30 min.", "na   1 hod."};
    for (int i = 0; i < 6; ++i) {
        WaitAgainCaptions[i] = QString::fromUtf8(waits[i]);
        MenuItemWaitAgain->addAction(WaitAgainCaptions[i]);
    }
    ActionDeleteCandidate = PopupMenuForCandidate->addAction(u"Smazat"_s);
    ActionAlreadyDoneCandidate = PopupMenuForCandidate->addAction(u"Je již hotov"_s);
    MenuItemChangeQueue = PopupMenuForCandidate->addAction(u"Přesunout do jiné fronty"_s);
    MenuChangeQueue = new QMenu(this);
    ActionPropertiesCandidate = PopupMenuForCandidate->addAction(u"Podrobnosti"_s);
    PopupMenuForCandidate->addSeparator();
    ActionOpenQueue = new QAction(u"Otevřít frontu"_s, this);
    ActionCloseQueue = new QAction(u"Zavřít frontu"_s, this);
    PopupMenuForCandidate->addAction(ActionOpenQueue);
    PopupMenuForCandidate->addAction(ActionCloseQueue);
    PopupMenuForQueue = new QMenu(this);
    PopupMenuForQueue->addAction(ActionOpenQueue);
    PopupMenuForQueue->addAction(ActionCloseQueue);
    ActionOpenQueue->setEnabled(false);

    connect(ActionForwardCandidate, &QAction::triggered, this,
            [this] { SendForSelected(&StationMessage::MoveForward); });
    connect(ActionBackwardsCandidate, &QAction::triggered, this,
            [this] { SendForSelected(&StationMessage::MoveToEnd); });
    connect(ActionAlreadyDoneCandidate, &QAction::triggered, this,
            [this] { SendForSelected(&StationMessage::MarkDone); });
    connect(ActionDeleteCandidate, &QAction::triggered, this, [this] {
        const int row = SelectedRow();
        if (row < 0)
            return;
        const bool yes =
            TUserPrompt::Confirm(u"Chcete smazat "_s + QString::number(Rows[row].Number) + u"?"_s);
        if (yes)
            SendForSelected(&StationMessage::DeleteCandidate);
    });
    connect(MenuItemChangeQueue, &QAction::triggered, this, [this] {
        // With two queues the item itself moves to the other one.
        if (!MenuItemChangeQueue->menu())
            MoveSelected(MenuItemChangeQueue->data().toInt());
    });
    connect(ActionPropertiesCandidate, &QAction::triggered, this, &TFrameFronta::ShowProperties);
    connect(ActionOpenQueue, &QAction::triggered, this,
            [this] { SendCommand(StationMessage::SetQueueOpen(QueueMask, true)); });
    connect(ActionCloseQueue, &QAction::triggered, this,
            [this] { SendCommand(StationMessage::SetQueueOpen(QueueMask, false)); });

    connect(Fronta, &QTreeWidget::itemSelectionChanged, this, &TFrameFronta::PrepareActions);
    connect(Fronta, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PrepareActions();
        PopupMenuForCandidate->popup(Fronta->viewport()->mapToGlobal(pos));
    });
    connect(Fronta, &QTreeWidget::itemDoubleClicked, this, [this] { ShowProperties(); });

    PrepareActions();
    ApplyState();
}

TFrameFronta::~TFrameFronta() = default;

QString TFrameFronta::WithNumber(const QString& caption, int value) {
    static const QRegularExpression run(u"[0-9?]+"_s);
    const QString number = QString::number(std::abs(value));
    const QRegularExpressionMatch m = run.match(caption);
    if (!m.hasMatch())
        return caption + number;
    return caption.left(m.capturedStart()) + number + caption.mid(m.capturedEnd());
}

void TFrameFronta::ReceiveText(const QByteArray& text) {
    const QList<StationMessage::TStateMessage> messages = StationMessage::ReadStateMessages(text);
    // The kinds in their order, each as often as it occurs.
    for (const auto& m : messages)
        if (m.Letter == 'M')
            ApplyState();
    for (const auto& m : messages)
        if (m.Letter == 'T')
            ReadReason(m.Id, m.Value, m.Text);
    for (const auto& m : messages)
        if (m.Letter == 'F' && m.Id == QueueMask)
            Host->FrameNameChanged(this, m.Text);
    for (const auto& m : messages)
        if (m.Letter == 'K' && m.Id == QueueMask)
            ReadQueueState(m.Body);
    // A list without its closing marker leaves the rows as they are: the next broadcast brings
    // the whole list again.
    const StationMessage::TCandidateList list =
        StationMessage::FindCandidateList(messages, QueueMask);
    if (list.Present)
        FillList(list.Records);
}

void TFrameFronta::ReadReason(int key, quint8 priority, const QString& name) {
    const bool wasEmpty = Duvody.find(key) == Duvody.end();
    TDuvod& duvod = Duvody[key];
    duvod.Index = key;
    duvod.Priority = priority;
    duvod.Name = name;
    if (wasEmpty && priority != 0) {
        QAction* item = MenuItemNewCandidate->addAction(name);
        item->setData(key);
        connect(item, &QAction::triggered, this,
                [this, key] { SendCommand(StationMessage::ManualEntry(key - 1)); });
    }
}

void TFrameFronta::ReadQueueState(const QByteArray& body) {
    if (body.size() < StationMessage::QueueStateSize)
        return;
    const StationMessage::TQueueState s = StationMessage::ReadQueueState(body.constData());
    OsetrenoLb->setText(QString::number(s.ServedCount));
    CekaniLb->setText(MinutesText(s.AverageWait));
    OsetreniLb->setText(MinutesText(s.AverageServe));
    CekaLb->setText(QString::number(s.ActiveCount));
    ZbyvaLb->setText(MinutesText(s.Remaining));
    KonecLb->setText(ShortTime(TClock::Now().addSecs(qint64(s.Remaining) * 60)));
    NotCameValue = s.CalledNumber;
    NextValue = s.NextNumber;
    LockState = s.LockState;
    DoorState = s.DoorState;
    const bool open = s.Open != 0;
    SetCabinsMode(s.Rooms);
    if (open != IsQueueOpen) {
        IsQueueOpen = open;
        ApplyState();
    }
    SetNumberButton(OdmitnoutKn, NotCameValue);
    SetNumberButton(DalsiKn, NextValue);
    LayOutDoor();
}

void TFrameFronta::SetNumberButton(QPushButton* button, int value) {
    if (value == 0 || !Host->IsOpened()) {
        button->hide();
        return;
    }
    button->setText(WithNumber(button->text(), value));
    button->show();
    button->setEnabled(value > 0);
}

void TFrameFronta::LayOutDoor() {
    if (LockState == 0) {
        DoorPlace->hide();
        return;
    }
    DoorPlace->show();
    QStyle* st = style();
    const int size = OtevritKn->sizeHint().height();
    if (DoorState == 2) {
        OtevritKn->hide();
        StavDveriIm->setPixmap(st->standardIcon(QStyle::SP_DirOpenIcon).pixmap(size, size));
        StavDveriLb->setText(u"Dveře otevřeny"_s);
        StavDveriIm->show();
        StavDveriLb->show();
    } else if (LockState == 1) {
        OtevritKn->show();
        StavDveriIm->hide();
        StavDveriLb->hide();
    } else {
        OtevritKn->hide();
        StavDveriIm->setPixmap(st->standardIcon(QStyle::SP_DialogApplyButton).pixmap(size, size));
        StavDveriLb->setText(u"Zámek odemčen"_s);
        StavDveriIm->show();
        StavDveriLb->show();
    }
}

void TFrameFronta::FillList(const QList<QByteArray>& records) {
    Rows.clear();
    Fronta->setUpdatesEnabled(false);
    Fronta->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(records.size());
    TCandidate c(nullptr, nullptr);
    int chosen = -1;
    for (const QByteArray& record : records) {
        if (record.size() < TCandidate::RecordSize)
            continue;
        c.ReadRecord(record.constData());
        TRow row;
        row.Record = record;
        row.Number = c.Number;
        row.State = c.State;
        row.Kind = c.Kind;
        row.Reason = c.Reason;
        row.Note = c.Note;
        auto* item = new QTreeWidgetItem;
        item->setText(ColNumber, QString::number(c.Number));
        const auto reason = Duvody.find(c.Reason);
        QString reasonText = reason == Duvody.end() ? QString() : reason->second.Name;
        if (!c.Note.isEmpty())
            reasonText += u"/"_s + c.Note;
        item->setText(ColReason, reasonText);
        item->setText(ColIssued, ShortTime(c.Issued));
        item->setText(ColCalled,
                      c.CallCount == 0 ? u"- - -"_s : QString::number(c.CallCount) + u" krát"_s);
        item->setText(ColState, TCandidate::StateName(c.State));
        QColor background;
        if (TCandidate::IsFinishedState(c.State)) {
            for (int col = 0; col <= ColCabin; ++col)
                item->setForeground(col, FinishedTextColour);
        } else if (c.State >= 1 && c.State <= 4) {
            background = CalledRowColour;
        } else if (c.Kind == 2) {
            background = ReservedRowColour;
        } else if (c.Kind == 3) {
            background = UrgentRowColour;
        }
        if (background.isValid())
            for (int col = 0; col <= ColCabin; ++col)
                item->setBackground(col, background);
        const int index = int(items.size());
        if (c.State == 2 || c.State == 3 || c.State == 4)
            chosen = index;
        else if (chosen < 0 && (TCandidate::IsWaitingState(c.State) || c.State == 1))
            chosen = index;
        items.append(item);
        Rows.append(row);
    }
    Fronta->addTopLevelItems(items);
    Fronta->setUpdatesEnabled(true);
    AdjustStateWidth();
    if (chosen > 2) {
        Fronta->doItemsLayout();
        Fronta->verticalScrollBar()->setValue(chosen - 2);
    }
    PrepareActions();
}

int TFrameFronta::VisibleRows() const {
    const int rowHeight = Fronta->topLevelItemCount() > 0
                              ? qMax(1, Fronta->visualItemRect(Fronta->topLevelItem(0)).height())
                              : Fronta->fontMetrics().height() + 6;
    const int viewport =
        Fronta->height() - Fronta->header()->sizeHint().height() - 2 * Fronta->frameWidth();
    return qMax(1, viewport / rowHeight);
}

void TFrameFronta::AdjustStateWidth() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    const bool scrolls = Fronta->topLevelItemCount() > VisibleRows();
    Fronta->setColumnWidth(ColState,
                           scrolls ? StateWidth - int(std::lround(18 * dpi / 96)) : StateWidth);
}

void TFrameFronta::SetDetailed(bool detailed) {
    if (detailed == IsDetailed)
        return;
    IsDetailed = detailed;
    ApplyState();
}

void TFrameFronta::SetCabinsMode(int mode) {
    if (mode == CabinsMode)
        return;
    CabinsMode = mode;
    ApplyState();
}

int TFrameFronta::ListHeightDelta() const {
    return IsDetailed ? ListDesignHeight : -ListDesignHeight;
}

QColor TFrameFronta::BackgroundColour() const {
    if (!Host->IsOpened())
        return ClosedRoomColour;
    if (!IsQueueOpen)
        return ClosedQueueColour;
    return NormalColour();
}

void TFrameFronta::ApplyState() {
    Host->FrameLookChanged(this);
    Fronta->setVisible(IsDetailed);
    if (CabinsMode == 2) {
        Fronta->setColumnCount(5);
        Fronta->setColumnWidth(ColReason, 157);
    } else {
        if (Fronta->columnCount() < 6) {
            Fronta->setColumnCount(6);
            Fronta->headerItem()->setText(ColCabin, u"Kab"_s);
            Fronta->setColumnWidth(ColCabin, 33);
        }
        Fronta->setColumnWidth(ColReason, 124);
    }
    const bool opened = Host->IsOpened();
    if (!IsDetailed || (IsQueueOpen && opened)) {
        QueueClosed->hide();
        Fronta->setFixedHeight(ListDesignHeight);
    } else {
        QueueClosed->setText(opened ? u"   Fronta je uzavřena"_s : u"  Lobrana je uzavřena"_s);
        QueueClosed->show();
        Fronta->setFixedHeight(qMax(Fronta->header()->sizeHint().height() + 8,
                                    ListDesignHeight - QueueClosed->sizeHint().height()));
    }
    const QColor colour = BackgroundColour();
    SetBackground(this, colour);
    SetBackground(PanelDole, colour);
    SetBackground(QueueClosed, colour);
    if (!opened) {
        ActionCloseQueue->setEnabled(false);
        ActionOpenQueue->setEnabled(false);
    } else {
        ActionCloseQueue->setEnabled(IsQueueOpen);
        ActionOpenQueue->setEnabled(!IsQueueOpen);
    }
    // The number buttons follow the waiting room at once.
    SetNumberButton(OdmitnoutKn, NotCameValue);
    SetNumberButton(DalsiKn, NextValue);
    AdjustStateWidth();
}

void TFrameFronta::SetMoveTargets(const QList<TMoveTarget>& targets) {
    MoveTargets = targets;
    MenuChangeQueue->clear();
    MenuItemChangeQueue->setMenu(nullptr);
    PopupMenuForCandidate->removeAction(MenuItemChangeQueue);
    if (targets.size() < 2)
        return;
    PopupMenuForCandidate->insertAction(ActionPropertiesCandidate, MenuItemChangeQueue);
    if (targets.size() == 2) {
        const TMoveTarget& other = targets[0].Mask == QueueMask ? targets[1] : targets[0];
        MenuItemChangeQueue->setText(u"Přesunout do fronty: "_s + other.Name);
        MenuItemChangeQueue->setData(other.Mask);
        return;
    }
    MenuItemChangeQueue->setText(u"Přesunout do jiné fronty"_s);
    for (const TMoveTarget& target : targets) {
        QAction* item = MenuChangeQueue->addAction(target.Name);
        item->setData(target.Mask);
        item->setEnabled(target.Mask != QueueMask);
        const int mask = target.Mask;
        connect(item, &QAction::triggered, this, [this, mask] { MoveSelected(mask); });
    }
    MenuItemChangeQueue->setMenu(MenuChangeQueue);
}

QByteArray TFrameFronta::RowRecord(int row) const {
    return row >= 0 && row < Rows.size() ? Rows[row].Record : QByteArray();
}

int TFrameFronta::SelectedRow() const {
    const QList<QTreeWidgetItem*> selected = Fronta->selectedItems();
    if (selected.isEmpty())
        return -1;
    return Fronta->indexOfTopLevelItem(selected.first());
}

void TFrameFronta::SelectRow(int row) {
    if (row < 0 || row >= Fronta->topLevelItemCount()) {
        Fronta->clearSelection();
        return;
    }
    Fronta->setCurrentItem(Fronta->topLevelItem(row));
    Fronta->topLevelItem(row)->setSelected(true);
}

void TFrameFronta::PrepareActions() {
    const int row = SelectedRow();
    const bool any = row >= 0 && row < Rows.size();
    ActionDeleteCandidate->setEnabled(any);
    ActionPropertiesCandidate->setEnabled(any);
    MenuItemWaitAgain->setEnabled(false);
    MenuItemWaitAgain->menuAction()->setEnabled(false);
    if (!any) {
        ActionForwardCandidate->setEnabled(false);
        ActionBackwardsCandidate->setEnabled(false);
        ActionAlreadyDoneCandidate->setEnabled(false);
        MenuItemChangeQueue->setEnabled(false);
        return;
    }
    const TRow& r = Rows[row];
    ActionForwardCandidate->setEnabled(TCandidate::IsWaitingState(r.State) && r.Kind < 3);
    ActionBackwardsCandidate->setEnabled(row != Rows.size() - 1);
    ActionAlreadyDoneCandidate->setEnabled(!TCandidate::IsFinishedState(r.State));
    MenuItemChangeQueue->setEnabled(Host->QueueCount() >= 2);
    const bool inLine = TCandidate::IsWaitingState(r.State) || r.State == 1;
    MenuItemWaitAgain->setTitle(inLine ? u"Posunout v lobraně zpět"_s
                                       : u"Vrátit zpět do lobrany"_s);
    const QList<QAction*> subItems = MenuItemWaitAgain->actions();
    for (int i = 0; i < subItems.size() && i < 6; ++i) {
        QString caption = WaitAgainCaptions[i];
        if (inLine)
            caption.replace(0, 2, u"o"_s);
        subItems[i]->setText(caption);
    }
}

void TFrameFronta::SendCommand(const QByteArray& text) {
    Host->PassCommand(text);
    Fronta->clearSelection();
    PrepareActions();
}

void TFrameFronta::SendForSelected(QByteArray (*build)(int, int)) {
    const int row = SelectedRow();
    if (row < 0 || row >= Rows.size())
        return;
    SendCommand(build(QueueMask, Rows[row].Number));
}

void TFrameFronta::MoveSelected(int targetMask) {
    const int row = SelectedRow();
    if (row < 0 || row >= Rows.size() || targetMask <= 0)
        return;
    SendCommand(StationMessage::MoveToQueue(QueueMask, Rows[row].Number, targetMask));
}

void TFrameFronta::ShowProperties() {
    const int row = SelectedRow();
    if (row < 0 || row >= Rows.size()) {
        Fronta->clearFocus();
        return;
    }
    const TRow r = Rows[row];
    TCandidateProperties dialog(this);
    dialog.ShowCandidate(r.Record);
    dialog.SetReasons(Duvody, r.Reason);
    QRect rect = Fronta->visualItemRect(Fronta->topLevelItem(row));
    const QPoint at = Fronta->viewport()->mapToGlobal(rect.topLeft()) + QPoint(50, 5);
    dialog.PlaceNear(at);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const int reason = dialog.SelectedReason();
    if (reason >= 0 && reason != r.Reason)
        Host->PassCommand(StationMessage::SetReason(QueueMask, r.Number, quint8(reason)));
    if (dialog.NoteText() != r.Note)
        Host->PassCommand(StationMessage::SetNote(QueueMask, r.Number, dialog.NoteText()));
    Fronta->clearSelection();
    PrepareActions();
}

void TFrameFronta::SetButtonHints(const QString& next, const QString& notCame,
                                  const QString& open) {
    DalsiKn->setToolTip(next);
    OdmitnoutKn->setToolTip(notCame);
    OtevritKn->setToolTip(open);
}

void TFrameFronta::contextMenuEvent(QContextMenuEvent* event) {
    PopupMenuForQueue->popup(event->globalPos());
}

bool TFrameFronta::eventFilter(QObject* watched, QEvent* event) {
    // A press in the list while no row is selected only takes the focus off it.
    if (watched == Fronta->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (SelectedRow() < 0 && !Fronta->itemAt(mouse->position().toPoint()))
            Fronta->clearFocus();
    }
    return QWidget::eventFilter(watched, event);
}
