#include "engine/setuptree.h"

#include "engine/buttonsnode.h"
#include "engine/connectnode.h"
#include "engine/helpers.h"
#include "engine/linktransport.h"
#include "engine/operatorside.h"
#include "engine/queuesnode.h"
#include "engine/userprompt.h"

using namespace Qt::StringLiterals;

TSetupTree::TSetupTree(QObject* parent) : QObject(parent) {
    TimerObject.setInterval(100);
    TimerObject.setTimerType(Qt::PreciseTimer);
    connect(&TimerObject, &QTimer::timeout, this, &TSetupTree::OnTimer);
    TopClasses[SlotConnect] = TSetupNode::ClassOf<TConnectNode>();
    TopClasses[SlotButtons] = TSetupNode::ClassOf<TButtonsNode>();
    TopClasses[SlotQueues] = TSetupNode::ClassOf<TQueuesNode>();
    AddDefaultsStep(0, [](TSetupTree& tree) {
        // Only a missing type is written: a configured server or station stays what it is.
        TRegistry reg;
        if (tree.ConnectNode && tree.ConnectNode->OpenKey(reg) &&
            !reg.ValueExists(u"ComputerType"_s)) {
            reg.WriteInteger(u"ComputerType"_s, 0);
            tree.ConnectNode->Load(reg);
        }
    });
}

TSetupTree::~TSetupTree() {
    TimerObject.stop();
    if (&TQueuePorts::Link() == this)
        TQueuePorts::InstallLink(nullptr);
    Observers.clear();
    ConnectNode = nullptr;
    PrintBoxesNode = nullptr;
    ButtonsNode = nullptr;
    QueuesNode = nullptr;
    CamerasNode = nullptr;
    while (!Top.empty())
        Top.pop_back();
}

void TSetupTree::SetTopClass(TopSlot slot, TNodeClass cls) {
    TopClasses[slot] = std::move(cls);
}

void TSetupTree::AddDefaultsStep(int order, std::function<void(TSetupTree&)> step) {
    DefaultSteps.emplace(order, std::move(step));
}

TSetupNode* TSetupTree::TopNode(int row) const {
    return row >= 0 && row < int(Top.size()) ? Top[size_t(row)].get() : nullptr;
}

void TSetupTree::InsertNode(TSetupNode* node) {
    if (node->Parent) {
        TSetupNode* parent = node->Parent;
        int row = parent->ChildCount();
        Notify([&](ITreeObserver* o) { o->NodeAboutToBeAdded(parent, row); });
        parent->ChildList.emplace_back(node);
    } else {
        int row = int(Top.size());
        Notify([&](ITreeObserver* o) { o->NodeAboutToBeAdded(nullptr, row); });
        Top.emplace_back(node);
    }
    Notify([&](ITreeObserver* o) { o->NodeAdded(node); });
}

TSetupNode* TSetupTree::AddTopNode(TopSlot slot) {
    if (!TopClasses[slot])
        return nullptr;
    TSetupNode* node = TopClasses[slot](this, nullptr);
    switch (slot) {
    case SlotConnect:
        ConnectNode = dynamic_cast<TConnectNode*>(node);
        break;
    case SlotPrintBoxes:
        PrintBoxesNode = node;
        break;
    case SlotButtons:
        ButtonsNode = dynamic_cast<TButtonsNode*>(node);
        break;
    case SlotQueues:
        QueuesNode = dynamic_cast<TQueuesNode*>(node);
        break;
    case SlotCameras:
        CamerasNode = node;
        break;
    case SlotCount:
        break;
    }
    return node;
}

void TSetupTree::ForgetTopNode(TSetupNode* node) {
    if (node == ConnectNode)
        ConnectNode = nullptr;
    if (node == PrintBoxesNode)
        PrintBoxesNode = nullptr;
    if (node == ButtonsNode)
        ButtonsNode = nullptr;
    if (node == QueuesNode)
        QueuesNode = nullptr;
    if (node == CamerasNode)
        CamerasNode = nullptr;
}

void TSetupTree::BuildTree() {
    TStoreBatch batch;
    IsLoaded = false;
    while (!Top.empty())
        RemoveNode(Top.back().get(), false);
    AddTopNode(SlotConnect);
    if (!ConnectNode || ConnectNode->ComputerType != 2) {
        AddTopNode(SlotPrintBoxes);
        AddTopNode(SlotButtons);
        AddTopNode(SlotQueues);
        AddTopNode(SlotCameras);
    }
    if (!ShutDown)
        TimerObject.start();
    IsLoaded = true;
    emit TreeBuilt();
}

void TSetupTree::ApplyStationShape(bool station) {
    TStoreBatch batch;
    if (station) {
        for (TSetupNode* node : {PrintBoxesNode, static_cast<TSetupNode*>(ButtonsNode),
                                 static_cast<TSetupNode*>(QueuesNode), CamerasNode})
            if (node)
                RemoveNode(node, false);
        return;
    }
    if (!PrintBoxesNode)
        AddTopNode(SlotPrintBoxes);
    if (!ButtonsNode)
        AddTopNode(SlotButtons);
    if (!QueuesNode)
        AddTopNode(SlotQueues);
    if (!CamerasNode)
        AddTopNode(SlotCameras);
}

void TSetupTree::ReapplyComputerType() {
    if (!ConnectNode)
        return;
    int loaded = ConnectNode->ComputerType;
    ConnectNode->SetComputerType(3);
    ConnectNode->SetComputerType(loaded);
}

bool TSetupTree::NeedsDefaults() const {
    if (!ConnectNode || ConnectNode->IsEmpty())
        return true;
    if (ConnectNode->ComputerType == 2)
        return false;
    return (PrintBoxesNode && PrintBoxesNode->IsEmpty()) ||
           (ButtonsNode && ButtonsNode->IsEmpty()) || (QueuesNode && QueuesNode->IsEmpty());
}

void TSetupTree::Start() {
    BuildTree();
    ReapplyComputerType();
    if (NeedsDefaults())
        CreateDefaults();
    else if (ConnectNode && ConnectNode->ComputerType != 2)
        SendToEngine("*pX");
}

void TSetupTree::CreateDefaults() {
    {
        TStoreBatch batch;
        for (auto& [order, step] : DefaultSteps)
            step(*this);
    }
    emit DefaultsCreated();
    // The operators get the queue list first, so that "show the windows" has windows to show.
    if (ConnectNode && ConnectNode->ComputerType != 2)
        SendToEngine("*pX");
    DeliverToOperator("*pV");
}

void TSetupTree::Shutdown() {
    ShutDown = true;
    TimerObject.stop();
    if (ConnectNode)
        ConnectNode->CloseSockets();
}

void TSetupTree::RemoveNode(TSetupNode* node, bool deleteKey, bool byUser) {
    if (!node)
        return;
    if (deleteKey) {
        TRegistry reg;
        reg.DeleteKey(node->KeyPath());
    }
    TSetupNode* parent = node->Parent;
    int row = node->Row();
    if (row < 0)
        return;
    Notify([&](ITreeObserver* o) { o->NodeAboutToBeRemoved(node, byUser); });
    if (parent && parent->ChildKeys && node->Kind != 0)
        parent->ChildKeys->removeAll(node->KeyName);
    ForgetTopNode(node);
    auto& list = parent ? parent->ChildList : Top;
    std::unique_ptr<TSetupNode> owned = std::move(list[size_t(row)]);
    list.erase(list.begin() + row);
    owned.reset();
    Notify([&](ITreeObserver* o) { o->NodeRemoved(parent, row); });
}

bool TSetupTree::DeleteExecute(TSetupNode* node) {
    if (!node || !node->CanDelete())
        return false;
    QString text = node->DeleteText.isEmpty() ? node->AddText : node->DeleteText;
    if (!TUserPrompt::Confirm(u"Chcete smazat "_s + text + u'?'))
        return false;
    RemoveNode(node, true, true);
    return true;
}

TSetupNode* TSetupTree::AddExecute(TSetupNode* node) {
    if (!node || !node->CanAdd())
        return nullptr;
    bool wasActive = TimerObject.isActive();
    TimerObject.stop();
    TSetupNode* added = node->AddNode();
    if (wasActive)
        TimerObject.start();
    return added;
}

void TSetupTree::SendToEngine(const QByteArray& text) {
    if (ConnectNode)
        ConnectNode->SendToEngine(text);
    else
        ExecuteLocally(text);
}

void TSetupTree::ExecuteLocally(const QByteArray& text) {
    if (EngineSink)
        EngineSink(text);
}

void TSetupTree::Distribute(const QByteArray& text) {
    if (ConnectNode)
        ConnectNode->Distribute(text);
    else
        DeliverToOperator(text);
}

void TSetupTree::DeliverToOperator(const QByteArray& text) {
    if (Operator)
        Operator->ReceiveMessage(text);
    if (OperatorSink)
        OperatorSink(text);
}

void TSetupTree::ResumeTimer() {
    if (!ShutDown && IsLoaded)
        TimerObject.start();
}

void TSetupTree::OnTimer() {
    for (TSetupNode* node : {static_cast<TSetupNode*>(ConnectNode), PrintBoxesNode,
                             static_cast<TSetupNode*>(QueuesNode), CamerasNode})
        if (node)
            node->Tick();
}

void TSetupTree::AddObserver(ITreeObserver* observer) {
    Observers.push_back(observer);
}

void TSetupTree::RemoveObserver(ITreeObserver* observer) {
    std::erase(Observers, observer);
}

TSetupNode* TSetupTree::QueueByMask(int mask) const {
    if (!QueuesNode)
        return nullptr;
    for (const auto& q : QueuesNode->Children())
        if (q->Kind == 2 && q->Mask() == mask)
            return q.get();
    return nullptr;
}

QString TSetupTree::VersionText() {
    return u"%1.%2"_s.arg(LOBRANA_VERSION_MAJOR).arg(LOBRANA_VERSION_MINOR, 2, 10, QChar(u'0'));
}

double TSetupTree::VersionNumber() {
    return LOBRANA_VERSION_MAJOR + LOBRANA_VERSION_MINOR / 100.0;
}
