#pragma once

#include "engine/registry.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class TSetupTree;
class TSetupNode;

// Constructs and attaches a node of some class below a parent (none for a top-level node).
using TNodeClass = std::function<TSetupNode*(TSetupTree* tree, TSetupNode* parent)>;

// A node of the setup tree. It owns one key of the configuration store and mirrors it: its
// settings are read from the key when it is attached, an editor page writes them back, and
// deleting the node deletes the key with its subtree. Nodes also do the engine's live work,
// driven by ticks of the tree's 100 ms timer.
//
// Subclasses set their texts, kind and classes in the constructor only; Create<T>() then
// attaches the node (which may load children and calls Load) and creates its fixed children,
// so every virtual call reaches the final class.
class TSetupNode {
public:
    TSetupNode(TSetupTree* tree, TSetupNode* parent);
    virtual ~TSetupNode();
    TSetupNode(const TSetupNode&) = delete;
    TSetupNode& operator=(const TSetupNode&) = delete;

    template <class T> static T* Create(TSetupTree* tree, TSetupNode* parent) {
        auto* node = new T(tree, parent);
        node->Attach();
        node->CreateFixedChildren();
        return node;
    }
    template <class T> static TNodeClass ClassOf() {
        return [](TSetupTree* tree, TSetupNode* parent) -> TSetupNode* {
            return Create<T>(tree, parent);
        };
    }

    // --- Virtual operations.
    virtual void SetActive(bool active);
    virtual bool CanDelete() const;
    virtual bool IsEmpty() const;
    virtual void Load(TRegistry& key);
    virtual void Tick();
    // The class name, for pictures and editor lookup ("TQueueNode").
    virtual QString ClassName() const = 0;

    // --- Fields.
    int MaxChildren = 255;
    QString Caption;
    QString AddText;
    QString DeleteText;
    QString TitleText;
    QString KeyName;
    int ImageIndex = -1;
    // Name of the editor page class shown for the node; empty for none.
    QString EditorClass;
    bool Editable = false;
    TNodeClass ChildClass;
    quint8 Kind = 0; // 0 fixed, 1 container of numbered children, 2 numbered item
    bool Active = false;
    int Ticks = 0;
    int InactiveImageIndex = -1;
    QString PendingKey;
    TSetupNode* Parent = nullptr;
    std::optional<QStringList> ChildKeys; // kept sorted
    // The picture currently shown in the tree.
    int ShownImage = -1;

    // --- Operations.
    TSetupTree* Tree() const { return TreePtr; }
    QString KeyPath() const;
    void LoadChildren();
    // The Add command: a sibling for a numbered item, else a numbered child. Returns the new node.
    TSetupNode* AddNode();
    template <class T> T* AddFixedChild() { return Create<T>(TreePtr, this); }
    void ShowImage(int index);
    // Deletes the child's key tree and the child.
    void RemoveChild(TSetupNode* child);
    void Rename(const QString& text);
    int Number() const;
    int Mask() const;
    QString MaskText() const;
    QString KeyText() const;

    // Opens the node's key (creating it) and reads the settings again.
    void Reload();
    // Opens the node's key in reg, creating it. False when the store cannot be used.
    bool OpenKey(TRegistry& reg) const;

    // The Add and Delete commands of the tree's menu, with their captions.
    bool CanAdd() const;
    QString AddCaption() const;
    QString DeleteCaption() const;
    // The next free numbered key below this container.
    QString NextChildKey() const;
    // Adds a numbered child under the given key; its values are written into the key first,
    // so the child loads them as it attaches.
    TSetupNode* AddChildWithValues(const QString& key,
                                   const std::function<void(TRegistry&)>& writeValues);

    const std::vector<std::unique_ptr<TSetupNode>>& Children() const { return ChildList; }
    int ChildCount() const { return int(ChildList.size()); }
    TSetupNode* Child(int row) const;
    int Row() const;
    // The first child of the class name, or none.
    TSetupNode* FindChild(const QString& className) const;
    void NotifyChanged();

protected:
    // Makes the node live: chooses a numbered key, loads children, reads the settings.
    void Attach();
    // Creates the fixed children, after Attach.
    virtual void CreateFixedChildren() {}

private:
    friend class TSetupTree;
    TSetupTree* TreePtr;
    std::vector<std::unique_ptr<TSetupNode>> ChildList;
};
