#include "engine/editors/setuptreemodel.h"

#include <QHash>
#include <QPainter>
#include <QPixmap>

TSetupTreeModel::TSetupTreeModel(TSetupTree* tree, QObject* parent)
    : QAbstractItemModel(parent), Tree(tree) {
    Tree->AddObserver(this);
}

TSetupTreeModel::~TSetupTreeModel() {
    Tree->RemoveObserver(this);
}

TSetupNode* TSetupTreeModel::NodeAt(const QModelIndex& index) {
    return index.isValid() ? static_cast<TSetupNode*>(index.internalPointer()) : nullptr;
}

QModelIndex TSetupTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0)
        return {};
    TSetupNode* p = NodeAt(parent);
    TSetupNode* node = p ? p->Child(row) : Tree->TopNode(row);
    return node ? createIndex(row, 0, node) : QModelIndex();
}

QModelIndex TSetupTreeModel::parent(const QModelIndex& child) const {
    TSetupNode* node = NodeAt(child);
    if (!node || !node->Parent)
        return {};
    return createIndex(node->Parent->Row(), 0, node->Parent);
}

int TSetupTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0)
        return 0;
    TSetupNode* p = NodeAt(parent);
    return p ? p->ChildCount() : int(Tree->TopNodes().size());
}

int TSetupTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QIcon TSetupTreeModel::Picture(int imageIndex) {
    static QHash<int, QIcon> cache;
    if (imageIndex < 0)
        return {};
    auto it = cache.find(imageIndex);
    if (it != cache.end())
        return it.value();
    // One generated picture per index: a hue per index, darker for odd (inactive) ones.
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor color = QColor::fromHsv((imageIndex * 47) % 360, 160, imageIndex % 2 ? 140 : 230);
    painter.setBrush(color);
    painter.setPen(color.darker(150));
    if (imageIndex % 3 == 0)
        painter.drawEllipse(2, 2, 12, 12);
    else
        painter.drawRoundedRect(2, 2, 12, 12, 3, 3);
    painter.end();
    return cache.insert(imageIndex, QIcon(pixmap)).value();
}

QVariant TSetupTreeModel::data(const QModelIndex& index, int role) const {
    TSetupNode* node = NodeAt(index);
    if (!node)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return node->Caption;
    case Qt::DecorationRole:
        // Nodes without pictures of their own get one per class.
        return Picture(node->ShownImage >= 0 ? node->ShownImage
                                             : 64 + int(qHash(node->ClassName()) % 64) * 2);
    default:
        return {};
    }
}

QModelIndex TSetupTreeModel::IndexOf(const TSetupNode* node) const {
    if (!node)
        return {};
    int row = node->Row();
    return row < 0 ? QModelIndex() : createIndex(row, 0, const_cast<TSetupNode*>(node));
}

void TSetupTreeModel::NodeAboutToBeAdded(TSetupNode* parent, int row) {
    beginInsertRows(IndexOf(parent), row, row);
}

void TSetupTreeModel::NodeAdded(TSetupNode*) {
    endInsertRows();
}

void TSetupTreeModel::NodeAboutToBeRemoved(TSetupNode* node, bool) {
    int row = node->Row();
    beginRemoveRows(IndexOf(node->Parent), row, row);
}

void TSetupTreeModel::NodeRemoved(TSetupNode*, int) {
    endRemoveRows();
}

void TSetupTreeModel::NodeChanged(TSetupNode* node) {
    // A node that is still being attached has no row yet.
    if (node->Row() < 0)
        return;
    QModelIndex i = IndexOf(node);
    emit dataChanged(i, i, {Qt::DisplayRole, Qt::DecorationRole});
}
