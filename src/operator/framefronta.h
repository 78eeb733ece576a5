#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QString>
#include <QWidget>

#include <map>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TFrameFronta;

// A reason of visit as the engine announced it ("*pT").
struct TDuvod {
    int Index = 0;
    quint8 Priority = 0; // 0 off, 1 ordinary, 2 reserved, 3 urgent
    QString Name;
};

// A queue the candidate can be moved to.
struct TMoveTarget {
    int Mask = 0;
    QString Name;
};

// What a queue frame needs of the window it sits on.
class IFrameHost {
public:
    virtual ~IFrameHost() = default;
    // The waiting room is open for the day.
    virtual bool IsOpened() const = 0;
    // A command text towards the engine.
    virtual void PassCommand(const QByteArray& text) = 0;
    // The number of queues the program knows.
    virtual int QueueCount() const = 0;
    // The frame's look (queue open or closed) changed: the tabs are repainted.
    virtual void FrameLookChanged(TFrameFronta* frame) = 0;
    // The queue's name arrived.
    virtual void FrameNameChanged(TFrameFronta* frame, const QString& name) = 0;
};

// One queue on an operator window: its counts, the call buttons, the door, the candidate list
// and the menus of the candidate and queue actions. It only shows what the engine's state
// messages say and sends commands; it never changes queue data itself.
class TFrameFronta : public QWidget {
    Q_OBJECT
public:
    static inline const QColor ClosedRoomColour{255, 187, 68};
    static inline const QColor ClosedQueueColour{255, 160, 160};
    static inline const QColor CalledRowColour{160, 255, 160};
    static inline const QColor ReservedRowColour{153, 153, 204};
    static inline const QColor UrgentRowColour{255, 160, 160};
    static inline const QColor FinishedTextColour{160, 160, 160};

    enum Column { ColNumber, ColReason, ColIssued, ColCalled, ColState, ColCabin };

    TFrameFronta(int mask, IFrameHost* host, QWidget* parent = nullptr);
    ~TFrameFronta() override;

    int Mask() const { return QueueMask; }
    // A station message text that reached this computer.
    void ReceiveText(const QByteArray& text);
    void SetDetailed(bool detailed);
    bool Detailed() const { return IsDetailed; }
    void SetCabinsMode(int mode);
    void ApplyState();
    // The list's designed height when detailed, its negative otherwise.
    int ListHeightDelta() const;
    bool QueueOpen() const { return IsQueueOpen; }
    // The queues a candidate can be moved to (all queues, in menu order, own one included).
    void SetMoveTargets(const QList<TMoveTarget>& targets);
    const std::map<int, TDuvod>& Reasons() const { return Duvody; }
    // The record of a row, empty when there is none.
    QByteArray RowRecord(int row) const;
    int SelectedRow() const;
    void SelectRow(int row);
    // Brings the actions in line with the selection (or no row).
    void PrepareActions();
    // The candidate dialog of the selected row; sends what was changed on OK.
    void ShowProperties();
    // The hints of the three buttons.
    void SetButtonHints(const QString& next, const QString& notCame, const QString& open);
    QColor BackgroundColour() const;

    // Controls, by their roles.
    QLabel* OsetrenoLb = nullptr;
    QLabel* OsetreniLb = nullptr;
    QLabel* CekaniLb = nullptr;
    QPushButton* DalsiKn = nullptr;
    QPushButton* OdmitnoutKn = nullptr;
    QPushButton* OtevritKn = nullptr;
    QLabel* StavDveriIm = nullptr;
    QLabel* StavDveriLb = nullptr;
    QLabel* QueueClosed = nullptr;
    QTreeWidget* Fronta = nullptr;
    QWidget* PanelDole = nullptr;
    QLabel* CekaLb = nullptr;
    QLabel* ZbyvaLb = nullptr;
    QLabel* KonecLb = nullptr;

    QMenu* PopupMenuForCandidate = nullptr;
    QMenu* PopupMenuForQueue = nullptr;
    QMenu* MenuItemNewCandidate = nullptr;
    QAction* ActionForwardCandidate = nullptr;
    QAction* ActionBackwardsCandidate = nullptr;
    QMenu* MenuItemWaitAgain = nullptr;
    QAction* ActionDeleteCandidate = nullptr;
    QAction* ActionAlreadyDoneCandidate = nullptr;
    // The move item: a command of its own with two queues, a submenu with more.
    QAction* MenuItemChangeQueue = nullptr;
    QMenu* MenuChangeQueue = nullptr;
    QAction* ActionPropertiesCandidate = nullptr;
    QAction* ActionOpenQueue = nullptr;
    QAction* ActionCloseQueue = nullptr;

    // Replaces the first run of digits or '?' of a caption with the number without its sign
    // (appends it when there is no such run).
    static QString WithNumber(const QString& caption, int value);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TRow {
        QByteArray Record;
        int Number = 0;
        int State = 0;
        int Kind = 0;
        int Reason = 0;
        QString Note;
    };
    void ReadReason(int key, quint8 priority, const QString& name);
    void ReadQueueState(const QByteArray& body);
    void FillList(const QList<QByteArray>& records);
    void SetNumberButton(QPushButton* button, int value);
    void LayOutDoor();
    void AdjustStateWidth();
    void SendCommand(const QByteArray& text);
    void SendForSelected(QByteArray (*build)(int, int));
    void MoveSelected(int targetMask);
    int VisibleRows() const;

    int QueueMask;
    IFrameHost* Host;
    bool IsDetailed = true;
    bool IsQueueOpen = true;
    int CabinsMode = 2;
    int ListDesignHeight = 0;
    int NextValue = 0;
    int NotCameValue = 0;
    int LockState = 0;
    int DoorState = 0;
    std::map<int, TDuvod> Duvody;
    QList<TRow> Rows;
    QList<TMoveTarget> MoveTargets;
    QWidget* DoorPlace = nullptr;
    QString WaitAgainCaptions[6];
};
