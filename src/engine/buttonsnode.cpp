#include "engine/buttonsnode.h"

#include "engine/candidate.h"
#include "engine/engineports.h"
#include "engine/helpers.h"
#include "engine/queuenode.h"
#include "engine/queueports.h"
#include "engine/queuesnode.h"
#include "engine/setuptree.h"

#include <algorithm>

using namespace Qt::StringLiterals;

TButtonsNode::TButtonsNode(TSetupTree* tree, TSetupNode* parent) : TSetupNode(tree, parent) {
    Caption = u"Tlačítka s důvody"_s;
    AddText = u"Tlačítko s důvodem"_s;
    KeyName = u"Buttons"_s;
    Kind = 1;
    MaxChildren = 8;
    ChildClass = TSetupNode::ClassOf<TButtonNode>();
}

void TButtonsNode::RegisterDefaults(TSetupTree& tree) {
    tree.AddDefaultsStep(30, [](TSetupTree& t) {
        if (!t.ButtonsNode)
            return;
        t.ButtonsNode->CreateButton(u"Lékař"_s, 0, 1, 1);
        t.ButtonsNode->CreateButton(u"Sestra"_s, 1, 1, 2);
        t.ButtonsNode->CreateButton(u"Odběry Injek."_s, 2, 1, 2);
        t.ButtonsNode->CreateButton(u"Akutní ošetř."_s, 3, 3, 1);
    });
}

QList<TButtonNode*> TButtonsNode::Buttons() const {
    QList<TButtonNode*> buttons;
    for (const auto& child : Children())
        if (auto* b = dynamic_cast<TButtonNode*>(child.get()))
            buttons.append(b);
    return buttons;
}

TButtonNode* TButtonsNode::ButtonAt(int position) const {
    for (TButtonNode* b : Buttons())
        if (b->Position == position)
            return b;
    return nullptr;
}

TButtonNode* TButtonsNode::ButtonByNumber(int number) const {
    for (TButtonNode* b : Buttons())
        if (b->Number() == number)
            return b;
    return nullptr;
}

QString TButtonsNode::ButtonNameAt(int position) const {
    TButtonNode* b = ButtonAt(position);
    return b ? b->Caption : QString();
}

TQueueNode* TButtonsNode::ButtonQueue(const TButtonNode* button) const {
    if (!button || !Tree() || !Tree()->QueuesNode)
        return nullptr;
    return Tree()->QueuesNode->QueueByNumber(button->QueueNumber);
}

quint8 TButtonsNode::InactiveMask() const {
    int mask = 255;
    if (!TEnginePorts::Host().Opened())
        return quint8(mask);
    for (TButtonNode* b : Buttons()) {
        TQueueNode* queue = ButtonQueue(b);
        if (queue && b->Priority != 0 && queue->Active && b->Position >= 0 && b->Position < 8)
            mask &= ~(1 << b->Position);
    }
    return quint8(mask);
}

TButtonNode* TButtonsNode::CreateButton(const QString& name, int position, int priority,
                                        int queueNumber) {
    if (TButtonNode* existing = ButtonAt(position))
        return existing;
    if (!ChildKeys || !CanAdd())
        return nullptr;
    TSetupNode* node = AddChildWithValues(NextChildKey(), [&](TRegistry& reg) {
        reg.WriteString(u"Name"_s, name);
        reg.WriteInteger(u"Position"_s, position);
        reg.WriteInteger(u"Priority"_s, priority);
        reg.WriteInteger(u"Queue"_s, queueNumber);
    });
    return dynamic_cast<TButtonNode*>(node);
}

QString TButtonsNode::ManualNote() {
    return u"vložen ručně"_s;
}

void TButtonsNode::PressButton(int position, TSetupNode* box) {
    // A position names one bit of the box's configuration bytes; anything else is no button
    // and must not teach the configuration one.
    if (position < 0 || position > 7)
        return;
    TButtonNode* button = ButtonAt(position);
    if (!button) {
        // Teach the configuration a new button, which issues nothing until it is set up.
        if (!CanAdd())
            return;
        auto* added = dynamic_cast<TButtonNode*>(AddNode());
        if (!added)
            return;
        TRegistry reg;
        if (added->OpenKey(reg)) {
            reg.WriteInteger(u"Position"_s, position);
            added->Load(reg);
        }
        if (box)
            TEnginePorts::PrintBoxes().SendConfigurationNow(box);
        return;
    }
    if (!TEnginePorts::Host().Opened()) {
        TEnginePorts::Host().ShowCameraView();
        return;
    }
    if (button->Priority == 0) {
        if (box)
            TEnginePorts::Audio().PlayAlert(box, IEngineAudio::AlertNothingButton, 0);
        return;
    }
    if (button->Priority == 2)
        return;
    TQueueNode* queue = ButtonQueue(button);
    if (!queue)
        return;
    if (!queue->Active) {
        TEnginePorts::Audio().PlayAlert(queue, IEngineAudio::AlertQueueFull, 0);
        if (queue->UnabledAction == 1 && box && queue->RefusalCandidate) {
            TEnginePorts::PrintBoxes().SetLastCandidate(box, queue->RefusalCandidate);
            TEnginePorts::Tickets().RenderTicket(box, queue->RefusalCandidate, false);
        }
        return;
    }
    if (box)
        TEnginePorts::PrintBoxes().BeepOk(box);
    TCandidate* c =
        queue->NewCandidate(button->Number(), button->Priority, box ? QString() : ManualNote());
    if (box)
        TEnginePorts::PrintBoxes().SetLastCandidate(box, c);
    queue->BroadcastQueue();
    if (Tree() && Tree()->CamerasNode)
        TEnginePorts::Cameras().TakePhoto(c->PhotoId);
    if (box && TEnginePorts::PrintBoxes().PrintsTickets(box)) {
        TEnginePorts::Audio().PlayAlert(queue, IEngineAudio::AlertPrintTicket, c->Number);
        TEnginePorts::Tickets().RenderTicket(box, c, false);
    }
}

TButtonNode::TButtonNode(TSetupTree* tree, TSetupNode* parent) : TSetupNode(tree, parent) {
    Caption = u"Tlačítko s důvodem"_s;
    AddText = u"Tlačítko s důvodem"_s;
    TitleText = u"tlačítka s důvodem"_s;
    EditorClass = u"TSetupButton"_s;
    Editable = true;
    Kind = 2;
    // Pictures: active and switched off.
    ImageIndex = 0;
    InactiveImageIndex = 1;
}

void TButtonNode::Load(TRegistry& key) {
    Priority = quint8(key.ReadInteger(u"Priority"_s, Priority));
    QueueNumber = key.ReadInteger(u"Queue"_s, QueueNumber);
    Position = key.ReadInteger(u"Position"_s, Position);
    MinTime = key.ReadInteger(u"MinTime"_s, MinTime);
    MaxTime = key.ReadInteger(u"MaxTime"_s, MaxTime);
    SampleCount = key.ReadInteger(u"N"_s, SampleCount);
    SampleSum = key.ReadInteger(u"Sum"_s, SampleSum);
    SampleSquares = key.ReadInteger(u"Sum Square"_s, SampleSquares);
    SetActive(IsActivePriority(Priority));
    TQueuePorts::Devices().RestartConfiguration();
}
