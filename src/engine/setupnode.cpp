#include "engine/setupnode.h"

#include "engine/helpers.h"
#include "engine/setuptree.h"
#include "engine/userprompt.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

bool IsNumericKey(const QString& key) {
    return !key.isEmpty() &&
           std::all_of(key.begin(), key.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

void InsertSorted(QStringList& list, const QString& key) {
    list.insert(std::lower_bound(list.begin(), list.end(), key), key);
}

} // namespace

TSetupNode::TSetupNode(TSetupTree* tree, TSetupNode* parent) : Parent(parent), TreePtr(tree) {}

TSetupNode::~TSetupNode() {
    // Children go first, last one first, as tree items are deleted.
    while (!ChildList.empty())
        ChildList.pop_back();
}

void TSetupNode::SetActive(bool active) {
    ShowImage(active ? ImageIndex : InactiveImageIndex);
    Active = active;
}

bool TSetupNode::CanDelete() const {
    return Editable && Kind != 0;
}

bool TSetupNode::IsEmpty() const {
    return !ChildKeys || ChildKeys->isEmpty();
}

void TSetupNode::Load(TRegistry&) {}

void TSetupNode::Tick() {
    ++Ticks;
    // By index: a child's tick may remove nodes.
    for (size_t i = 0; i < ChildList.size(); ++i)
        ChildList[i]->Tick();
}

QString TSetupNode::KeyPath() const {
    QString base = Parent ? Parent->KeyPath() : RootKeyPath(0);
    return base + u'\\' + KeyName;
}

bool TSetupNode::OpenKey(TRegistry& reg) const {
    return reg.OpenKey(KeyPath(), true);
}

void TSetupNode::Reload() {
    TRegistry reg;
    if (OpenKey(reg))
        Load(reg);
}

QString TSetupNode::NextChildKey() const {
    int highest = 0;
    if (ChildKeys)
        for (const QString& key : *ChildKeys)
            if (IsNumericKey(key))
                highest = std::max(highest, key.toInt());
    return PadNumber3(highest + 1);
}

TSetupNode* TSetupNode::AddChildWithValues(const QString& key,
                                           const std::function<void(TRegistry&)>& writeValues) {
    if (!ChildKeys || !ChildClass)
        return nullptr;
    {
        TRegistry reg;
        if (!reg.OpenKey(KeyPath() + u'\\' + key, true))
            return nullptr;
        writeValues(reg);
    }
    if (!ChildKeys->contains(key))
        InsertSorted(*ChildKeys, key);
    PendingKey = key;
    TSetupNode* node = ChildClass(TreePtr, this);
    PendingKey.clear();
    return node;
}

void TSetupNode::Attach() {
    ShownImage = ImageIndex;
    TreePtr->InsertNode(this);
    if (Parent && Parent->ChildKeys && Editable) {
        if (!Parent->PendingKey.isEmpty()) {
            KeyName = Parent->PendingKey;
            Parent->PendingKey.clear();
            TRegistry reg;
            Caption = reg.OpenKey(KeyPath(), false) ? reg.ReadString(u"Name"_s) : QString();
        } else {
            KeyName = Parent->NextChildKey();
            InsertSorted(*Parent->ChildKeys, KeyName);
            Caption = Caption + u' ' + KeyName;
            TRegistry reg;
            if (reg.OpenKey(KeyPath(), true))
                reg.WriteString(u"Name"_s, Caption);
        }
    }
    if (Kind == 1)
        LoadChildren();
    NotifyChanged();
    Reload();
}

void TSetupNode::LoadChildren() {
    ChildKeys = QStringList();
    TRegistry reg;
    if (reg.OpenKey(KeyPath(), false)) {
        *ChildKeys = reg.GetKeyNames();
        std::sort(ChildKeys->begin(), ChildKeys->end());
    }
    if (!ChildClass)
        return;
    const QStringList keys = *ChildKeys;
    for (const QString& key : keys) {
        PendingKey = key;
        TSetupNode* child = ChildClass(TreePtr, this);
        // A child class that is not numbered leaves the pending name: drop it.
        if (!PendingKey.isEmpty() && child)
            PendingKey.clear();
    }
}

TSetupNode* TSetupNode::AddNode() {
    if (Kind == 2 && Parent)
        return Parent->AddNode();
    if (!ChildClass)
        return nullptr;
    PendingKey.clear();
    return ChildClass(TreePtr, this);
}

void TSetupNode::ShowImage(int index) {
    if (ShownImage != index) {
        ShownImage = index;
        NotifyChanged();
    }
}

void TSetupNode::RemoveChild(TSetupNode* child) {
    if (child && child->Parent == this)
        TreePtr->RemoveNode(child, true);
}

void TSetupNode::Rename(const QString& text) {
    if (!Editable)
        return;
    Caption = text;
    NotifyChanged();
    TreePtr->SendToEngine("*pX");
}

int TSetupNode::Number() const {
    if (Kind != 2)
        return -1;
    bool ok = false;
    int n = KeyName.toInt(&ok);
    return ok ? n : -1;
}

int TSetupNode::Mask() const {
    int n = Number();
    return n < 0 || n > 30 ? 0 : Power(2, n);
}

QString TSetupNode::MaskText() const {
    return PadNumber3(Mask());
}

QString TSetupNode::KeyText() const {
    return Kind == 2 ? KeyName : QString();
}

bool TSetupNode::CanAdd() const {
    if (Kind == 0)
        return false;
    const TSetupNode* container = (Kind == 2 && Parent) ? Parent : this;
    if (!container->ChildClass)
        return false;
    qsizetype count = container->ChildKeys ? container->ChildKeys->size() : 0;
    return count < container->MaxChildren;
}

QString TSetupNode::AddCaption() const {
    return CanAdd() ? u"Přidat "_s + AddText : u"Přidat"_s;
}

QString TSetupNode::DeleteCaption() const {
    if (!CanDelete())
        return u"Odstranit"_s;
    return u"Odstranit "_s + (DeleteText.isEmpty() ? AddText : DeleteText);
}

TSetupNode* TSetupNode::Child(int row) const {
    return row >= 0 && row < ChildCount() ? ChildList[size_t(row)].get() : nullptr;
}

int TSetupNode::Row() const {
    const auto& siblings = Parent ? Parent->ChildList : TreePtr->Top;
    for (size_t i = 0; i < siblings.size(); ++i)
        if (siblings[i].get() == this)
            return int(i);
    return -1;
}

TSetupNode* TSetupNode::FindChild(const QString& className) const {
    for (const auto& c : ChildList)
        if (c->ClassName() == className)
            return c.get();
    return nullptr;
}

void TSetupNode::NotifyChanged() {
    TreePtr->Notify([this](ITreeObserver* o) { o->NodeChanged(this); });
}
