#pragma once

#include "engine/queueports.h"
#include "engine/setupnode.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <functional>
#include <map>

class TConnectNode;
class TButtonsNode;
class TQueuesNode;
class IOperatorSide;
class ILinkTransport;

// Watches the shape of the tree (the setup window's model, tests).
class ITreeObserver {
public:
    virtual ~ITreeObserver() = default;
    virtual void NodeAboutToBeAdded(TSetupNode* parent, int row) = 0;
    virtual void NodeAdded(TSetupNode* node) = 0;
    // byUser: removed by the Delete command (its editor page goes); otherwise the engine removes
    // it of its own accord and the page shown is kept unless it edits a removed node.
    virtual void NodeAboutToBeRemoved(TSetupNode* node, bool byUser) = 0;
    virtual void NodeRemoved(TSetupNode* parent, int row) = 0;
    virtual void NodeChanged(TSetupNode* node) = 0;
};

// The host of the setup tree: the top-level nodes, the 100 ms timer that ticks them, the tree
// commands and the first-run defaults. The setup window shows it; `lobrana --headless` runs it
// without any window.
class TSetupTree : public QObject, public IQueueLink {
    Q_OBJECT
public:
    enum TopSlot { SlotConnect, SlotPrintBoxes, SlotButtons, SlotQueues, SlotCameras, SlotCount };

    explicit TSetupTree(QObject* parent = nullptr);
    ~TSetupTree() override;

    // Classes of the top-level nodes. The engine's own are set by the constructor; the device
    // and camera subsystems set theirs before BuildTree.
    void SetTopClass(TopSlot slot, TNodeClass cls);
    // A first-run step; steps run in ascending order, each creating only what is missing.
    void AddDefaultsStep(int order, std::function<void(TSetupTree&)> step);

    // The five top-level nodes, none while absent.
    TConnectNode* ConnectNode = nullptr;
    TSetupNode* PrintBoxesNode = nullptr;
    TButtonsNode* ButtonsNode = nullptr;
    TQueuesNode* QueuesNode = nullptr;
    TSetupNode* CamerasNode = nullptr;
    bool IsLoaded = false;

    // Builds the tree from the store, applies the computer type and runs the first-run defaults
    // when needed (the whole start-up of the setup window without its window).
    void Start();
    void BuildTree();
    void ReapplyComputerType();
    // True when the start found the store unconfigured.
    bool NeedsDefaults() const;
    void CreateDefaults();
    // Adds the four non-connect top-level nodes that are missing (stand-alone, server) or
    // removes all four without touching their keys (station).
    void ApplyStationShape(bool station);
    // The end of the program: the timer stops and the nodes close what they hold.
    void Shutdown();

    const std::vector<std::unique_ptr<TSetupNode>>& TopNodes() const { return Top; }
    TSetupNode* TopNode(int row) const;

    // The tree's commands.
    // Asks "Chcete smazat ...?" and deletes the node with its key tree on Yes.
    bool DeleteExecute(TSetupNode* node);
    // Adds a node the way the Add command does (the timer paused meanwhile).
    TSetupNode* AddExecute(TSetupNode* node);
    // Removes a node and everything below it; deleteKey also deletes its key tree.
    void RemoveNode(TSetupNode* node, bool deleteKey, bool byUser = false);

    // Hands an operator command text to the engine: through the computer link, which sends it
    // to the server on a station and executes it here otherwise.
    void SendToEngine(const QByteArray& text);
    // Cuts a command text and executes it in this program's engine.
    void ExecuteLocally(const QByteArray& text);
    std::function<void(const QByteArray&)> EngineSink;
    // Every engine message: to this program's operator side and, on a server, to the stations.
    void Distribute(const QByteArray& text) override;
    // To this program's operator side only ("*pV" after the first-run defaults).
    void DeliverToOperator(const QByteArray& text);
    std::function<void(const QByteArray&)> OperatorSink;
    // This program's operator side (not owned), none without one.
    IOperatorSide* Operator = nullptr;
    // Makes the sockets of a new connect node (none: the computer stays on its own).
    std::function<std::unique_ptr<ILinkTransport>(TConnectNode*)> LinkTransportClass;
    // Enables the timer again unless the program is shutting down.
    void ResumeTimer();

    QTimer& Timer() { return TimerObject; }
    // One period of the timer: ticks the connect, print boxes, queues and cameras nodes.
    void OnTimer();

    void AddObserver(ITreeObserver* observer);
    void RemoveObserver(ITreeObserver* observer);

    // The node whose Mask equals the argument among the queues, or none.
    TSetupNode* QueueByMask(int mask) const;

    static QString VersionText();
    static double VersionNumber();

signals:
    // The first-run defaults were created (the setup window opens on the print box).
    void DefaultsCreated();
    void TreeBuilt();

private:
    friend class TSetupNode;
    TSetupNode* AddTopNode(TopSlot slot);
    void InsertNode(TSetupNode* node);
    void ForgetTopNode(TSetupNode* node);
    template <class F> void Notify(F f) {
        for (ITreeObserver* o : Observers)
            f(o);
    }

    std::vector<std::unique_ptr<TSetupNode>> Top;
    TNodeClass TopClasses[SlotCount];
    std::multimap<int, std::function<void(TSetupTree&)>> DefaultSteps;
    std::vector<ITreeObserver*> Observers;
    QTimer TimerObject;
    bool ShutDown = false;
};
