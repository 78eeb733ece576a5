#include "engine/timetablenode.h"

#include "engine/datetime.h"
#include "engine/helpers.h"

#include <QTime>

using namespace Qt::StringLiterals;

quint8 TWeekPlan::At(int day, int slot) const {
    if (day < 0 || day >= Days || slot < 1 || slot > Slots)
        return None;
    return Kind[size_t(day)][size_t(slot - 1)];
}

void TWeekPlan::Set(int day, int slot, quint8 kind) {
    if (day < 0 || day >= Days || slot < 1 || slot > Slots)
        return;
    Kind[size_t(day)][size_t(slot - 1)] = kind;
}

int TWeekPlan::SlotOf(double timeOfDay) {
    QTime t = DateTimeNumber::ToTime(timeOfDay);
    return (t.hour() * 4 - 19) + t.minute() / 15;
}

double TWeekPlan::TimeOfSlot(int slot) {
    const int hour = 5 + (slot - 1) / 4;
    const int minute = ((slot - 1) % 4) * 15;
    return (hour * 60 + minute) / 1440.0;
}

TTimeTableNode::TTimeTableNode(TSetupTree* tree, TSetupNode* parent) : TSetupNode(tree, parent) {
    Caption = u"Pracovní doba"_s;
    TitleText = u"pracovní doby"_s;
    KeyName = u"Time Table"_s;
    EditorClass = u"TSetupTimeTable"_s;
    Editable = true;
}

TWeekPlan TTimeTableNode::LoadWeek(TRegistry& key) {
    TWeekPlan plan;
    const QString base = key.CurrentPath();
    const QStringList runs = key.GetKeyNames();
    TRegistry run(key.Store());
    for (const QString& name : runs) {
        if (!run.OpenKey(base + u'\\' + name, false))
            continue;
        const int day = run.ReadInteger(u"DayOfWeek"_s, -1);
        const int type = run.ReadInteger(u"TimeType"_s);
        const quint8 kind = (type == 1 || type == 2) ? quint8(type) : quint8(TWeekPlan::None);
        const int from = TWeekPlan::SlotOf(run.ReadDateTime(u"TimeFrom"_s));
        const int to = TWeekPlan::SlotOf(run.ReadDateTime(u"TimeTo"_s));
        // Set ignores days and slots outside the week.
        for (int s = std::max(from, 1); s < std::min(to, TWeekPlan::Slots + 1); ++s)
            plan.Set(day, s, kind);
    }
    return plan;
}

void TTimeTableNode::StoreWeek(TRegistry& key, const TWeekPlan& plan) {
    const QString base = key.CurrentPath();
    if (base.isEmpty())
        return;
    // One transaction: a crash never leaves half a plan.
    key.Store().Begin();
    ClearSubkeys(key);
    TRegistry run(key.Store());
    int index = 0;
    for (int day = 0; day < TWeekPlan::Days; ++day) {
        int s = 1;
        while (s <= TWeekPlan::Slots) {
            const quint8 kind = plan.At(day, s);
            int end = s;
            while (end + 1 <= TWeekPlan::Slots && plan.At(day, end + 1) == kind)
                ++end;
            if (kind != TWeekPlan::None && run.OpenKey(base + u'\\' + PadNumber3(index++), true)) {
                run.WriteInteger(u"DayOfWeek"_s, day);
                run.WriteInteger(u"TimeType"_s, kind);
                run.WriteDateTime(u"TimeFrom"_s, TWeekPlan::TimeOfSlot(s));
                run.WriteDateTime(u"TimeTo"_s, TWeekPlan::TimeOfSlot(end + 1));
            }
            s = end + 1;
        }
    }
    key.Store().Commit();
}

TWeekPlan TTimeTableNode::LoadPlan() const {
    TRegistry reg;
    return OpenKey(reg) ? LoadWeek(reg) : TWeekPlan{};
}

void TTimeTableNode::StorePlan(const TWeekPlan& plan) const {
    TRegistry reg;
    if (OpenKey(reg))
        StoreWeek(reg, plan);
}
