#pragma once

#include "operator/framefronta.h"

#include <QList>
#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;
class QTabWidget;
class TEditHotKeyVtl;
class TFormClient;

// A queue of the tray's queue menu, in menu order: its mask, name and place in the queue list
// (1 for the first queue; its F-key).
struct TQueueEntry {
    int Mask = 0;
    QString Name;
    int Position = 0;
};

// What an operator window needs of the main window.
class IClientHost {
public:
    virtual ~IClientHost() = default;
    virtual bool IsOpened() const = 0;
    virtual void SendToEngine(const QByteArray& text) = 0;
    virtual QList<TQueueEntry> QueueEntries() const = 0;
    virtual void ReloadQueueSettings() = 0;
    virtual void ClientDestroyed(TFormClient* client) = 0;
};

// A tab sheet that carries the queue frame on it.
class TQueueTabSheet : public QWidget {
    Q_OBJECT
public:
    explicit TQueueTabSheet(QWidget* parent = nullptr) : QWidget(parent) {}
    TFrameFronta* Frame = nullptr;
    int Mask = 0;
};

// The operator's window: one page per queue of its mask, then "Nastavení" with the hot keys of
// this computer. Without pages it serves as a queue action's hidden settings window.
class TFormClient : public QWidget, public IFrameHost {
    Q_OBJECT
public:
    TFormClient(int mask, IClientHost* host, QWidget* parent = nullptr);
    ~TFormClient() override;

    int Tag() const { return WindowMask; }
    void AddQueuePages(int mask, bool askContents);
    void AskContents();
    void RestoreState();
    void SaveState();
    void Arrange();
    void BuildMoveMenus();
    void PassMessage(const QByteArray& text);
    void HideAndMark();
    void ShowIfMarked();
    void LoadData();
    void SaveData();
    bool ReShowMarked() const { return ReShow; }
    QList<TFrameFronta*> Frames() const;
    TFrameFronta* FrameFor(int mask) const;
    // The tab's background (orange, light red or invalid for the normal one).
    QColor TabColour(int index) const;

    // IFrameHost
    bool IsOpened() const override;
    void PassCommand(const QByteArray& text) override;
    int QueueCount() const override;
    void FrameLookChanged(TFrameFronta* frame) override;
    void FrameNameChanged(TFrameFronta* frame, const QString& name) override;

    QTabWidget* Stranky = nullptr;
    QCheckBox* CheckBoxPodrobne = nullptr;
    QWidget* TabSheetSetup = nullptr;
    QWidget* SoundCard = nullptr;  // the place of the sound-card frame
    QWidget* AlertPlace = nullptr; // the place of the alert rows
    TEditHotKeyVtl* Shifts = nullptr;
    TEditHotKeyVtl* Invite = nullptr;
    TEditHotKeyVtl* NotBecome = nullptr;
    TEditHotKeyVtl* OpenDoorLock = nullptr;
    QLabel* HSDalsi = nullptr;
    QLabel* HSNeprisel = nullptr;
    QLabel* HSFronta = nullptr;
    QLabel* HSOtevrit = nullptr;
    QLabel* HKFronta = nullptr;
    QWidget* FrontaRow[2] = {};
    QPushButton* SaveDataKn = nullptr;
    int SetupQueue = 0;

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void AddQueuePage(int mask);
    void PageChanged(int index);
    void DetailChanged(bool checked);
    void HotKeyEdited(TEditHotKeyVtl* edit);
    QString KeyPath() const;

    int WindowMask;
    IClientHost* Host;
    bool ReShow = false;
    int PreviousPage = -1;
    bool CheckedForSetup = false;
};
