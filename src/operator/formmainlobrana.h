#pragma once

#include "engine/operatorside.h"
#include "operator/formclient.h"

#include <QList>
#include <QWidget>

#include <functional>

class QAction;
class QMenu;
class QSystemTrayIcon;
class TMessageBus;
class TSetupTree;

// The hub of the operator side: the tray icon with its menu, the operator windows built from the
// engine's queue list, the global hot keys' queue, and the link and device state in the tray's
// hint. Every state message text of this computer passes through ReceiveMessage.
class TFormMainLobrana : public QWidget, public IOperatorSide, public IClientHost {
    Q_OBJECT
public:
    // Without a tree, commands go nowhere (tests install CommandSink instead).
    explicit TFormMainLobrana(TSetupTree* tree, QWidget* parent = nullptr);
    ~TFormMainLobrana() override;

    static QString LinkStateHint(int state);

    // IOperatorSide
    void ReceiveMessage(const QByteArray& text) override;
    void SetLinkState(int state) override;
    void SetDevicesState(int state) override;
    void HideWindows() override;
    void RestoreWindows(bool wasConnected) override;
    void MarkRunning() override;
    void QuitIfStation() override;

    // IClientHost
    bool IsOpened() const override { return Opened; }
    void SendToEngine(const QByteArray& text) override;
    QList<TQueueEntry> QueueEntries() const override { return Queues; }
    void ReloadQueueSettings() override;
    void ClientDestroyed(TFormClient* client) override;

    void SetOpened(bool open);
    // A global hot key by its identifier: 1 call next, 2 not came, 3 open the door, 11-20 choose
    // the queue of that menu position.
    void HotKeyPressed(int id);
    // The queue's menu command: shows its operator window, created when missing.
    void ShowQueue(int mask);
    TFormClient* FindQueueSettings(int mask) const;
    const QList<TFormClient*>& FormClients() const { return Clients; }
    TFormClient* ClientFor(int mask) const;
    // Operator windows save their places; runs once.
    void ShutdownWork();

    // The program message bus: the window is announced under the configuration's name once it
    // runs, and acts on the messages other programs send it.
    void SetBus(TMessageBus* bus, const QString& name);
    // A message of another program: an answer of the capture program, another start of this
    // program (show the operator windows), or a request to end; anything else is ignored.
    void OnProgramMessage(quint32 first, quint32 sender);

    int HotKeyQueue = -1;
    int QueueCount = 0;
    int LinkState = 0;
    int DevicesState = 2;
    bool ShutdownDone = false;
    QString TrayHint;
    bool TrayWarning = false;

    QMenu* TrayMenu = nullptr;
    QMenu* ZobrazitFrontu = nullptr;
    QAction* ActionAll = nullptr;
    QAction* StavTiskarny = nullptr;
    QAction* Nastaveni = nullptr;
    QAction* KonecAplikace = nullptr;
    QAction* Deaktivace = nullptr;
    QAction* Aktivace = nullptr;
    QAction* ZobrazAbout = nullptr;
    // Where the menu is reached: the tray icon, or a small window where no tray exists.
    QSystemTrayIcon* Tray = nullptr;
    QWidget* TrayStandIn = nullptr;

    // Tests and the program: where commands go when there is no tree; the setup window command.
    std::function<void(const QByteArray&)> CommandSink;
    std::function<void()> ShowSetup;

private:
    void ReadQueueList(const QList<struct TQueueEntry>& entries);
    TFormClient* CreateFormClient(int mask, const QString& caption, bool askContents);
    void UpdateTrayIcon();
    void CreateTray();

    TSetupTree* Tree;
    TMessageBus* Bus = nullptr;
    QString BusName;
    bool Opened = true;
    bool FirstList = true;
    int AllMask = 0;
    int WindowsCreated = 0;
    QList<TQueueEntry> Queues;
    QList<TFormClient*> Clients;
    QList<TFormClient*> Settings; // the queue actions' hidden settings windows
};
