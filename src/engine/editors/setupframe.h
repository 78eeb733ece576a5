#pragma once

#include "engine/registry.h"

#include <QLineEdit>
#include <QWidget>

#include <functional>

class TSetupNode;

// An editor page of the setup window. The window sets Node, calls LoadValues with the node's key
// open, and SaveValues when the user presses "Ulož".
class TSetupFrame : public QWidget {
    Q_OBJECT
public:
    explicit TSetupFrame(QWidget* parent = nullptr);
    TSetupNode* Node = nullptr;
    virtual void SaveValues(TRegistry& key);
    virtual void LoadValues(TRegistry& key);
    virtual QString EditedName() const { return {}; }
    // The setup window opens on this page after creating the first-run defaults.
    virtual void FirstRunShown() {}
};

// A page with the name field "Jméno:"; pages of numbered items derive from it.
class TSetupName : public TSetupFrame {
    Q_OBJECT
public:
    explicit TSetupName(QWidget* parent = nullptr);
    void SaveValues(TRegistry& key) override;
    void LoadValues(TRegistry& key) override;
    QString EditedName() const override { return Jmeno->text(); }

    QLineEdit* Jmeno;

protected:
    // Where derived pages put their controls, below the name.
    QWidget* Body;
};

// Editor pages by class name; subsystems register theirs at start.
namespace TEditorClasses {

using Factory = std::function<TSetupFrame*(QWidget* parent)>;
void Register(const QString& className, Factory factory);
// A page of the class, or nullptr when none is registered.
TSetupFrame* Create(const QString& className, QWidget* parent);

} // namespace TEditorClasses
