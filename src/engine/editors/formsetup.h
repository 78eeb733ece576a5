#pragma once

#include "engine/setuptree.h"

#include <QWidget>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QTreeView;
class TSetupFrame;
class TSetupTreeModel;

// "Nastavení": the setup window. It shows the setup tree, an editor page for the selected node,
// the list of visited nodes and the tree's Add and Delete commands. It hosts the tree for the
// whole life of the program, hidden most of the time.
class TFormSetup : public QWidget, private ITreeObserver {
    Q_OBJECT
public:
    explicit TFormSetup(TSetupTree* tree, QWidget* parent = nullptr);
    ~TFormSetup() override;

    // The window's start: builds the tree, applies the computer type, creates the first-run
    // defaults or asks the engine for its full state.
    void Loaded();

    TSetupTree* Tree() const { return SetupTree; }
    TSetupNode* SelectedNode() const;
    void SelectNode(TSetupNode* node);

    // The tree's pop-up menu for the selected node, with captions and enabled states set.
    void TreeViewContextPopup();
    void AddExecute();
    void DeleteExecute();
    void SaveBtnClick();
    void ComboBoxChange(int index);

    TSetupFrame* Editor = nullptr;
    QTreeView* TreeView;
    QComboBox* ComboBox;
    QLabel* Zahlavi;
    QWidget* PanelSetup;
    QPushButton* SaveBtn;
    QAction* Add;
    QAction* Delete;
    QMenu* Popup;
    TSetupTreeModel* Model;

private:
    void TreeViewChange(TSetupNode* node);
    void RememberNode(TSetupNode* node);
    void FreeEditor();
    void OnDefaultsCreated();

    void NodeAboutToBeAdded(TSetupNode*, int) override {}
    void NodeAdded(TSetupNode*) override {}
    void NodeAboutToBeRemoved(TSetupNode* node, bool byUser) override;
    void NodeRemoved(TSetupNode*, int) override {}
    void NodeChanged(TSetupNode* node) override;

    TSetupTree* SetupTree;
    bool ChangeAssigned = false;
};
