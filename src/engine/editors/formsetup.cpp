#include "engine/editors/formsetup.h"

#include "engine/connectnode.h"
#include "engine/editors/setupframe.h"
#include "engine/editors/setuptreemodel.h"
#include "engine/editors/uihelpers.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

bool IsBelow(const TSetupNode* node, const TSetupNode* ancestor) {
    for (const TSetupNode* n = node; n; n = n->Parent)
        if (n == ancestor)
            return true;
    return false;
}

} // namespace

TFormSetup::TFormSetup(TSetupTree* tree, QWidget* parent) : QWidget(parent), SetupTree(tree) {
    setObjectName(u"FormSetup"_s);
    setWindowTitle(u"Nastavení"_s);
    Model = new TSetupTreeModel(tree, this);

    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    ComboBox = new QComboBox(left);
    ComboBox->setObjectName(u"ComboBox"_s);
    TreeView = new QTreeView(left);
    TreeView->setObjectName(u"TreeView"_s);
    TreeView->setModel(Model);
    TreeView->setHeaderHidden(true);
    TreeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView->setContextMenuPolicy(Qt::CustomContextMenu);
    TreeView->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    leftLayout->addWidget(ComboBox);
    leftLayout->addWidget(TreeView, 1);

    PanelSetup = new QWidget(this);
    PanelSetup->setObjectName(u"PanelSetup"_s);
    auto* panelLayout = new QVBoxLayout(PanelSetup);
    Zahlavi = new QLabel(u" "_s, PanelSetup);
    Zahlavi->setObjectName(u"Zahlavi"_s);
    QFont bold = Zahlavi->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    Zahlavi->setFont(bold);
    SaveBtn = new QPushButton(u"Ulož"_s, PanelSetup);
    SaveBtn->setObjectName(u"SaveBtn"_s);
    SaveBtn->hide();
    panelLayout->addWidget(Zahlavi);
    panelLayout->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(SaveBtn);
    panelLayout->addLayout(buttons);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(left);
    splitter->addWidget(PanelSetup);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({260, 560});
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(splitter);

    Add = new QAction(u"Přidat"_s, this);
    Add->setObjectName(u"Add"_s);
    Delete = new QAction(u"Odstranit"_s, this);
    Delete->setObjectName(u"Delete"_s);
    Popup = new QMenu(this);
    Popup->addAction(Add);
    Popup->addAction(Delete);
    connect(Add, &QAction::triggered, this, &TFormSetup::AddExecute);
    connect(Delete, &QAction::triggered, this, &TFormSetup::DeleteExecute);
    connect(SaveBtn, &QPushButton::clicked, this, &TFormSetup::SaveBtnClick);
    connect(ComboBox, &QComboBox::activated, this, &TFormSetup::ComboBoxChange);
    connect(TreeView, &QTreeView::customContextMenuRequested, this, [this](const QPoint& pos) {
        QModelIndex index = TreeView->indexAt(pos);
        if (index.isValid())
            TreeView->setCurrentIndex(index);
        TreeViewContextPopup();
        Popup->popup(TreeView->viewport()->mapToGlobal(pos));
    });
    connect(tree, &TSetupTree::DefaultsCreated, this, &TFormSetup::OnDefaultsCreated);
    tree->AddObserver(this);
    resize(860, 560);
}

TFormSetup::~TFormSetup() {
    // Closing the window at program end: the nodes close what they hold.
    SetupTree->Shutdown();
    SetupTree->RemoveObserver(this);
    FreeEditor();
}

void TFormSetup::Loaded() {
    SetupTree->IsLoaded = false;
    FreeEditor();
    setWindowTitle(u"Nastavení "_s + TSetupTree::VersionText());
    move(CenteredLeft(frameGeometry().width()), CenteredTop(frameGeometry().height()));
    ChangeAssigned = false;
    SetupTree->BuildTree();
    TreeView->expandAll();
    if (!ChangeAssigned) {
        connect(TreeView->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this](const QModelIndex& current) { TreeViewChange(Model->NodeAt(current)); });
        ChangeAssigned = true;
    }
    SelectNode(SetupTree->ConnectNode);
    SetupTree->ReapplyComputerType();
    if (SetupTree->NeedsDefaults())
        SetupTree->CreateDefaults();
    else if (SetupTree->ConnectNode && SetupTree->ConnectNode->ComputerType != 2)
        SetupTree->SendToEngine("*pX");
}

TSetupNode* TFormSetup::SelectedNode() const {
    return TSetupTreeModel::NodeAt(TreeView->currentIndex());
}

void TFormSetup::SelectNode(TSetupNode* node) {
    QModelIndex index = Model->IndexOf(node);
    if (index.isValid()) {
        TreeView->setCurrentIndex(index);
        TreeView->scrollTo(index);
    }
}

void TFormSetup::FreeEditor() {
    if (Editor) {
        Editor->hide();
        Editor->deleteLater();
        Editor->setParent(nullptr);
        Editor = nullptr;
    }
}

void TFormSetup::TreeViewChange(TSetupNode* node) {
    if (!node) {
        Zahlavi->setText(u" "_s);
        SaveBtn->hide();
        FreeEditor();
        return;
    }
    Zahlavi->setText(node->Editable ? u" Nastavení "_s + node->TitleText : u" "_s);
    if (!node->Editable) {
        SaveBtn->hide();
        FreeEditor();
        return;
    }
    RememberNode(node);
    SaveBtn->show();
    FreeEditor();
    TSetupFrame* page = node->EditorClass.isEmpty()
                            ? nullptr
                            : TEditorClasses::Create(node->EditorClass, PanelSetup);
    // Numbered items can always be renamed, even before their own page exists.
    if (!page && node->Kind == 2)
        page = new TSetupName(PanelSetup);
    if (!page)
        return;
    Editor = page;
    Editor->Node = node;
    auto* layout = static_cast<QVBoxLayout*>(PanelSetup->layout());
    layout->insertWidget(1, Editor, 100);
    Editor->show();
    TRegistry reg;
    if (node->OpenKey(reg))
        Editor->LoadValues(reg);
}

void TFormSetup::RememberNode(TSetupNode* node) {
    auto data = QVariant::fromValue(quintptr(node));
    int existing = ComboBox->findData(data);
    if (existing >= 0)
        ComboBox->removeItem(existing);
    ComboBox->insertItem(0, node->Caption, data);
    ComboBox->setCurrentIndex(0);
}

void TFormSetup::ComboBoxChange(int index) {
    auto* node = reinterpret_cast<TSetupNode*>(ComboBox->itemData(index).value<quintptr>());
    if (node)
        SelectNode(node);
}

void TFormSetup::TreeViewContextPopup() {
    TSetupNode* node = SelectedNode();
    bool canAdd = node && node->CanAdd();
    Add->setText(canAdd ? node->AddCaption() : u"Přidat"_s);
    Add->setEnabled(canAdd);
    bool canDelete = node && node->CanDelete();
    Delete->setText(canDelete ? node->DeleteCaption() : u"Odstranit"_s);
    Delete->setEnabled(canDelete);
}

void TFormSetup::AddExecute() {
    TSetupNode* node = SelectedNode();
    if (!node)
        return;
    TSetupNode* added = SetupTree->AddExecute(node);
    if (added) {
        TreeView->expand(Model->IndexOf(added->Parent));
        SelectNode(added);
    }
}

void TFormSetup::DeleteExecute() {
    SetupTree->DeleteExecute(SelectedNode());
}

void TFormSetup::SaveBtnClick() {
    TSetupNode* node = SelectedNode();
    if (!Editor || !node)
        return;
    TRegistry reg;
    if (!node->OpenKey(reg))
        return;
    Editor->SaveValues(reg);
    if (auto* named = qobject_cast<TSetupName*>(Editor))
        node->Rename(named->EditedName());
}

void TFormSetup::NodeAboutToBeRemoved(TSetupNode* node, bool byUser) {
    for (int i = ComboBox->count() - 1; i >= 0; --i) {
        auto* entry = reinterpret_cast<TSetupNode*>(ComboBox->itemData(i).value<quintptr>());
        if (IsBelow(entry, node))
            ComboBox->removeItem(i);
    }
    if (Editor && (byUser || IsBelow(Editor->Node, node)))
        FreeEditor();
}

void TFormSetup::NodeChanged(TSetupNode* node) {
    int i = ComboBox->findData(QVariant::fromValue(quintptr(node)));
    if (i >= 0)
        ComboBox->setItemText(i, node->Caption);
}

void TFormSetup::OnDefaultsCreated() {
    TreeView->expandAll();
    TSetupNode* box = SetupTree->PrintBoxesNode ? SetupTree->PrintBoxesNode->Child(0) : nullptr;
    if (box)
        SelectNode(box);
    show();
    if (Editor && box && Editor->Node == box)
        Editor->FirstRunShown();
}
