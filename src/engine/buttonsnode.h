#pragma once

#include "engine/setupnode.h"

class TButtonNode;
class TQueueNode;

// "Tlačítka s důvody": the reason buttons of the print boxes (at most eight), and the ticket
// issue that a press of a button starts. Not editable, so it cannot be deleted; it gets no ticks.
class TButtonsNode : public TSetupNode {
public:
    TButtonsNode(TSetupTree* tree, TSetupNode* parent);
    QString ClassName() const override { return QStringLiteral("TButtonsNode"); }

    // The first-run step that creates "Lékař", "Sestra", "Odběry Injek." and "Akutní ošetř." at
    // positions 0 to 3 when no button has that position.
    static void RegisterDefaults(TSetupTree& tree);

    // The buttons in tree order.
    QList<TButtonNode*> Buttons() const;
    // The first button at that position, or none.
    TButtonNode* ButtonAt(int position) const;
    TButtonNode* ButtonByNumber(int number) const;
    // The caption of ButtonAt, empty when none.
    QString ButtonNameAt(int position) const;
    // The queue whose number is the button's QueueNumber, or none.
    TQueueNode* ButtonQueue(const TButtonNode* button) const;
    // The print boxes' first configuration byte: a set bit for every position that issues
    // nothing now (all set while the waiting room is closed).
    quint8 InactiveMask() const;
    // Adds a button with these values unless one has that position. Returns the button at the
    // position (existing or new), or none when it cannot be made.
    TButtonNode* CreateButton(const QString& name, int position, int priority, int queueNumber);

    // The ticket issue for a press at the position; box is the print box, or none for a
    // candidate entered by hand, a button test or the demo panel. Positions outside 0 to 7 do
    // nothing.
    void PressButton(int position, TSetupNode* box);

    // The note of a candidate entered without a print box.
    static QString ManualNote();
};

// "Tlačítko s důvodem": one reason button: its place on the box, its queue and its priority
// (0 off, 1 ordinary, 2 reserved, 3 urgent; the candidate's kind). Its number is the reason
// that candidates carry.
class TButtonNode : public TSetupNode {
public:
    TButtonNode(TSetupTree* tree, TSetupNode* parent);
    QString ClassName() const override { return QStringLiteral("TButtonNode"); }
    void Load(TRegistry& key) override;

    static bool IsActivePriority(int priority) { return priority >= 1 && priority <= 3; }

    quint8 Priority = 0;   // "Priority"
    int QueueNumber = 0;   // "Queue"
    int Position = 0;      // "Position"
    int MinTime = 10;      // "MinTime"
    int MaxTime = 15;      // "MaxTime"
    int SampleCount = 0;   // "N"
    int SampleSum = 0;     // "Sum"
    int SampleSquares = 0; // "Sum Square"
};
