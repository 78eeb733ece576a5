#pragma once

#include "engine/setupnode.h"

#include <array>

// A week of quarter-hour slots, Monday (0) to Sunday (6), slots 1-64 from 5:00 to 21:00.
// Each slot is 0 none ("Žádná"), 1 normal ("Normální") or 2 reserved ("Vyhrazená").
struct TWeekPlan {
    static constexpr int Days = 7;
    static constexpr int Slots = 64;
    enum Kinds : quint8 { None = 0, Normal = 1, Reserved = 2 };
    std::array<std::array<quint8, Slots>, Days> Kind{};

    // Slot s (1-64) of day d; out-of-range arguments read as none and write nothing.
    quint8 At(int day, int slot) const;
    void Set(int day, int slot, quint8 kind);
    bool operator==(const TWeekPlan&) const = default;

    // The slot that begins at the time of day (5:00 is 1, 21:00 is 65).
    static int SlotOf(double timeOfDay);
    // The start of slot s as a time of day (slot 65 is 21:00).
    static double TimeOfSlot(int slot);
};

// "Pracovní doba": the weekly plan of a queue. Each run of adjacent slots of one day with one
// kind other than none is a subkey "000", "001", ... with "DayOfWeek", "TimeType", "TimeFrom"
// and "TimeTo". The engine itself does not consult the plan.
class TTimeTableNode : public TSetupNode {
public:
    TTimeTableNode(TSetupTree* tree, TSetupNode* parent);
    QString ClassName() const override { return QStringLiteral("TTimeTableNode"); }
    // Fixed picture, no ticks.
    void Tick() override {}

    // The plan from the subkeys of the open key.
    static TWeekPlan LoadWeek(TRegistry& key);
    // Replaces the subkeys of the open key with the runs of the plan.
    static void StoreWeek(TRegistry& key, const TWeekPlan& plan);

    // The same with the node's own key.
    TWeekPlan LoadPlan() const;
    void StorePlan(const TWeekPlan& plan) const;
};
