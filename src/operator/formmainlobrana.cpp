#include "operator/formmainlobrana.h"

#include "engine/connectnode.h"
#include "engine/helpers.h"
#include "engine/setuptree.h"
#include "engine/stationmessage.h"
#include "link/messagebus.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TFormMainLobrana::TFormMainLobrana(TSetupTree* tree, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), Tree(tree) {
    setWindowTitle(u"Lobrana se startuje..."_s);
    TrayMenu = new QMenu(this);
    ZobrazitFrontu = TrayMenu->addMenu(style()->standardIcon(QStyle::SP_FileDialogListView),
                                       u"Zobrazit frontu"_s);
    ZobrazitFrontu->menuAction()->setEnabled(false);
    ZobrazitFrontu->addSeparator();
    ActionAll = ZobrazitFrontu->addAction(u"Všechny"_s);
    connect(ActionAll, &QAction::triggered, this, [this] { ShowQueue(AllMask); });
    StavTiskarny = TrayMenu->addAction(u"Stav tiskárny"_s);
    StavTiskarny->setEnabled(false);
    Nastaveni = TrayMenu->addAction(u"Nastavení"_s);
    connect(Nastaveni, &QAction::triggered, this, [this] {
        if (ShowSetup)
            ShowSetup();
    });
    QMenu* end = TrayMenu->addMenu(u"Ukončení"_s);
    KonecAplikace = end->addAction(u"Vypnutí Zorozaz"_s);
    KonecAplikace->setToolTip(u"Ukončí ovládací program tiskrárny"_s);
    Deaktivace = end->addAction(u"Uzavření Zorozaz"_s);
    Aktivace = end->addAction(u"Otevření Zorozaz"_s);
    Aktivace->setEnabled(false);
    connect(KonecAplikace, &QAction::triggered, this, [this] {
        ShutdownWork();
        QCoreApplication::quit();
    });
    connect(Deaktivace, &QAction::triggered, this,
            [this] { SendToEngine(StationMessage::SetOpened(false)); });
    connect(Aktivace, &QAction::triggered, this,
            [this] { SendToEngine(StationMessage::SetOpened(true)); });
    ZobrazAbout = TrayMenu->addAction(u"O programu"_s);
    connect(ZobrazAbout, &QAction::triggered, this, [this] {
        QMessageBox::about(nullptr, u"O programu"_s, u"Lobrana "_s + TSetupTree::VersionText());
    });
    CreateTray();
    UpdateTrayIcon();
}

TFormMainLobrana::~TFormMainLobrana() {
    ShutdownWork();
    const QList<TFormClient*> clients = Clients;
    Clients.clear();
    qDeleteAll(clients);
    qDeleteAll(Settings);
}

void TFormMainLobrana::CreateTray() {
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        Tray = new QSystemTrayIcon(this);
        Tray->setContextMenu(TrayMenu);
        connect(Tray, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::Trigger ||
                        reason == QSystemTrayIcon::DoubleClick)
                        TrayMenu->popup(QCursor::pos());
                });
        Tray->show();
        return;
    }
    // No notification area: a small window keeps the same menu within reach.
    TrayStandIn =
        new QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);
    TrayStandIn->setWindowTitle(u"Lobrana"_s);
    auto* layout = new QVBoxLayout(TrayStandIn);
    auto* button = new QPushButton(u"Lobrana"_s, TrayStandIn);
    button->setMenu(TrayMenu);
    layout->addWidget(button);
    TrayStandIn->setAttribute(Qt::WA_DeleteOnClose, false);
    TrayStandIn->show();
}

QString TFormMainLobrana::LinkStateHint(int state) {
    switch (state) {
    case 0:
        return u"Lobrana se startuje..."_s;
    case 1:
        return u"Lobrana hledá server..."_s;
    case 2:
        return u"Lobrana je připojena k serveru"_s;
    case 3:
        return u"Lobrana nenalezla server"_s;
    case 4:
        return u"Lobrana nemůže otevřít port"_s;
    case 5:
        return u"Server lobrany je spuštěn"_s;
    case 6:
        return u"Lobrana se ukončuje..."_s;
    case 7:
        return u"Lobrana běží"_s;
    default:
        return u"Lobrana"_s;
    }
}

void TFormMainLobrana::UpdateTrayIcon() {
    TrayHint = DevicesState == 2 ? LinkStateHint(LinkState) : u"Skříňka či displej nepřipojeny"_s;
    const bool good = DevicesState == 2 && (LinkState == 0 || LinkState == 2 || LinkState >= 5);
    TrayWarning = !good;
    const QIcon icon =
        style()->standardIcon(good ? QStyle::SP_ComputerIcon : QStyle::SP_MessageBoxWarning);
    if (Tray) {
        Tray->setIcon(icon);
        Tray->setToolTip(TrayHint);
    }
    if (TrayStandIn) {
        TrayStandIn->setWindowIcon(icon);
        TrayStandIn->setToolTip(TrayHint);
        TrayStandIn->setWindowTitle(TrayHint);
    }
}

void TFormMainLobrana::SetLinkState(int state) {
    if (state == LinkState)
        return;
    LinkState = state;
    UpdateTrayIcon();
}

void TFormMainLobrana::SetDevicesState(int state) {
    if (state == DevicesState)
        return;
    DevicesState = state;
    UpdateTrayIcon();
}

void TFormMainLobrana::MarkRunning() {
    setWindowTitle(u"Lobrana běží"_s);
    if (Bus)
        Bus->Announce(BusName);
}

void TFormMainLobrana::SetBus(TMessageBus* bus, const QString& name) {
    Bus = bus;
    BusName = name;
    if (bus)
        connect(bus, &TMessageBus::Received, this, &TFormMainLobrana::OnProgramMessage);
}

void TFormMainLobrana::OnProgramMessage(quint32 first, quint32 sender) {
    Q_UNUSED(sender);
    if (ProgramMessage::IsAnswer(first))
        return; // the camera nodes count the capture program's answers
    if (first < 0x10000000u) {
        qInfo("Lobrana: another start asked for the operator windows");
        ReceiveMessage(StationMessage::ShowWindows());
    } else if (ProgramMessage::CodeOf(first) == ProgramMessage::End) {
        if (Tree && Tree->ConnectNode)
            Tree->ConnectNode->StopStations();
        ShutdownWork();
        QCoreApplication::quit();
    }
}

void TFormMainLobrana::QuitIfStation() {
    if (Tree && Tree->ConnectNode && Tree->ConnectNode->ComputerType == TConnectNode::Station) {
        ShutdownWork();
        QCoreApplication::quit();
    }
}

void TFormMainLobrana::SendToEngine(const QByteArray& text) {
    if (CommandSink) {
        CommandSink(text);
        return;
    }
    if (Tree && Tree->ConnectNode)
        Tree->SendToEngine(text);
}

void TFormMainLobrana::SetOpened(bool open) {
    if (open == Opened)
        return;
    Opened = open;
    Deaktivace->setEnabled(open);
    Aktivace->setEnabled(!open);
}

void TFormMainLobrana::ReceiveMessage(const QByteArray& text) {
    const QList<StationMessage::TStateMessage> messages = StationMessage::ReadStateMessages(text);
    auto has = [&](char letter) {
        for (const auto& m : messages)
            if (m.Letter == letter)
                return true;
        return false;
    };
    if (has('S')) {
        QuitIfStation();
        return;
    }
    if (has('V')) {
        for (const TQueueEntry& e : Queues)
            ShowQueue(e.Mask);
        return;
    }
    if (has('X')) {
        QList<TQueueEntry> entries;
        for (const auto& m : messages)
            if (m.Letter == 'F')
                entries.append({m.Id, m.Text, int(entries.size()) + 1});
        ReadQueueList(entries);
    }
    // "*pP", "*pQ" and "*pH" go to the printer-status, warning and camera windows.
    for (const auto& m : messages)
        if (m.Letter == 'M') {
            SetOpened(m.Value == 1);
            break;
        }
    const QList<TFormClient*> clients = Clients;
    for (TFormClient* c : clients)
        c->PassMessage(text);
}

void TFormMainLobrana::ReadQueueList(const QList<TQueueEntry>& entries) {
    const bool first = FirstList;
    FirstList = false;
    for (QAction* a : ZobrazitFrontu->actions())
        if (a->data().isValid()) {
            ZobrazitFrontu->removeAction(a);
            a->deleteLater();
        }
    qDeleteAll(Settings);
    Settings.clear();
    Queues = entries;
    QueueCount = int(entries.size());
    AllMask = 0;
    QAction* before = ZobrazitFrontu->actions().value(0);
    for (const TQueueEntry& e : entries) {
        auto* settings = new TFormClient(e.Mask, this);
        settings->setObjectName(u"AudioOutput"_s + QString::number(e.Mask));
        settings->SetupQueue = e.Mask;
        settings->LoadData();
        Settings.append(settings);
        AllMask |= e.Mask;
        auto* action =
            new QAction(style()->standardIcon(QStyle::SP_FileIcon), e.Name, ZobrazitFrontu);
        action->setData(e.Mask);
        const int mask = e.Mask;
        connect(action, &QAction::triggered, this, [this, mask] { ShowQueue(mask); });
        // Each record goes to the top, so the menu lists them in reverse order.
        ZobrazitFrontu->insertAction(before, action);
        before = action;
        if (first) {
            TFormClient* c = CreateFormClient(e.Mask, e.Name, false);
            if (c && c->isVisible() && HotKeyQueue < 0)
                HotKeyQueue = e.Mask;
        }
    }
    if (first)
        for (TFormClient* c : Clients)
            c->BuildMoveMenus();
    if (Clients.size() == 1) {
        ActionAll->setEnabled(false);
        Clients.first()->AskContents();
        if (!entries.isEmpty())
            HotKeyQueue = entries.last().Mask;
    } else {
        ActionAll->setEnabled(entries.size() >= 2);
        if (first && entries.size() >= 2) {
            CreateFormClient(AllMask, u"Všechny"_s, true);
            if (HotKeyQueue < 0)
                HotKeyQueue = entries.last().Mask;
            Clients.last()->BuildMoveMenus();
        }
    }
    ZobrazitFrontu->menuAction()->setEnabled(true);
    StavTiskarny->setEnabled(true);
}

TFormClient* TFormMainLobrana::CreateFormClient(int mask, const QString& caption,
                                                bool askContents) {
    if (mask == 0)
        return nullptr;
    ++WindowsCreated;
    auto* c = new TFormClient(mask, this);
    Clients.append(c);
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect desk = screen ? screen->availableGeometry() : QRect(0, 0, 1366, 768);
    c->setWindowTitle(u"Fronta "_s + caption);
    c->AddQueuePages(mask, askContents);
    c->Arrange();
    const int left = qMax(400, CenteredStart(desk.width(), c->sizeHint().width()));
    c->move(desk.left() + left + 35 * (WindowsCreated - 1),
            desk.top() + 3 + 35 * (WindowsCreated - 1));
    c->RestoreState();
    return c;
}

TFormClient* TFormMainLobrana::ClientFor(int mask) const {
    for (TFormClient* c : Clients)
        if (c->Tag() == mask)
            return c;
    return nullptr;
}

void TFormMainLobrana::ShowQueue(int mask) {
    TFormClient* c = ClientFor(mask);
    if (!c) {
        QString caption = mask == AllMask ? u"Všechny"_s : QString();
        for (const TQueueEntry& e : Queues)
            if (e.Mask == mask)
                caption = e.Name;
        c = CreateFormClient(mask, caption, true);
        if (!c)
            return;
        c->BuildMoveMenus();
    }
    c->show();
    c->raise();
    c->activateWindow();
}

TFormClient* TFormMainLobrana::FindQueueSettings(int mask) const {
    for (TFormClient* s : Settings)
        if (mask == -1 || s->Tag() == mask)
            return s;
    return nullptr;
}

void TFormMainLobrana::ReloadQueueSettings() {
    for (TFormClient* s : Settings) {
        s->SetupQueue = s->Tag();
        s->LoadData();
    }
}

void TFormMainLobrana::ClientDestroyed(TFormClient* client) {
    Clients.removeAll(client);
}

void TFormMainLobrana::HotKeyPressed(int id) {
    if (id > 20)
        return;
    if (id >= 11) {
        for (const TQueueEntry& e : Queues)
            if (e.Position + 10 == id)
                HotKeyQueue = e.Mask;
        return;
    }
    if (HotKeyQueue <= 0)
        return;
    if (id == 1)
        SendToEngine(StationMessage::CallNext(HotKeyQueue));
    else if (id == 2)
        SendToEngine(StationMessage::NotCome(HotKeyQueue));
    else if (id == 3)
        SendToEngine(StationMessage::OpenDoor(HotKeyQueue));
}

void TFormMainLobrana::HideWindows() {
    for (TFormClient* c : Clients)
        c->HideAndMark();
    ZobrazitFrontu->menuAction()->setEnabled(false);
    StavTiskarny->setEnabled(false);
}

void TFormMainLobrana::RestoreWindows(bool wasConnected) {
    ZobrazitFrontu->menuAction()->setEnabled(true);
    StavTiskarny->setEnabled(true);
    if (!wasConnected)
        return;
    for (TFormClient* c : Clients) {
        c->AskContents();
        c->ShowIfMarked();
    }
}

void TFormMainLobrana::ShutdownWork() {
    if (ShutdownDone)
        return;
    ShutdownDone = true;
    for (TFormClient* c : Clients)
        c->SaveState();
}
