#pragma once

// Small node classes for tests of the tree itself: a container "Boxes" of numbered items.

#include "engine/setupnode.h"
#include "engine/userprompt.h"

#include <QStringList>

class TTestItemNode : public TSetupNode {
public:
    TTestItemNode(TSetupTree* tree, TSetupNode* parent) : TSetupNode(tree, parent) {
        Caption = QStringLiteral("Položka");
        AddText = QStringLiteral("Položku");
        TitleText = QStringLiteral("položky");
        Editable = true;
        Kind = 2;
    }
    QString ClassName() const override { return QStringLiteral("TTestItemNode"); }
    void Load(TRegistry& key) override {
        ++Loads;
        Value = key.ReadInteger(QStringLiteral("Value"), -1);
    }
    int Loads = 0;
    int Value = -1;
};

class TTestBoxesNode : public TSetupNode {
public:
    TTestBoxesNode(TSetupTree* tree, TSetupNode* parent) : TSetupNode(tree, parent) {
        Caption = QStringLiteral("Krabice");
        AddText = QStringLiteral("Položku");
        KeyName = QStringLiteral("Boxes");
        Kind = 1;
        MaxChildren = 8;
        ChildClass = ClassOf<TTestItemNode>();
    }
    QString ClassName() const override { return QStringLiteral("TTestBoxesNode"); }
};

class TScriptedPrompt : public IUserPrompt {
public:
    bool Answer = true;
    QStringList Asked;
    bool Confirm(const QString& text) override {
        Asked << text;
        return Answer;
    }
    void Inform(const QString& text) override { Asked << text; }
};
