#pragma once

#include "engine/setuptree.h"

#include <QAbstractItemModel>
#include <QIcon>

// The setup tree as an item model: one row per node, the caption as text, the node's picture
// as decoration. Nodes own no widgets; the model follows the tree through its observer.
class TSetupTreeModel : public QAbstractItemModel, public ITreeObserver {
    Q_OBJECT
public:
    explicit TSetupTreeModel(TSetupTree* tree, QObject* parent = nullptr);
    ~TSetupTreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    QModelIndex IndexOf(const TSetupNode* node) const;
    static TSetupNode* NodeAt(const QModelIndex& index);
    static QIcon Picture(int imageIndex);

    void NodeAboutToBeAdded(TSetupNode* parent, int row) override;
    void NodeAdded(TSetupNode* node) override;
    void NodeAboutToBeRemoved(TSetupNode* node, bool byUser) override;
    void NodeRemoved(TSetupNode* parent, int row) override;
    void NodeChanged(TSetupNode* node) override;

private:
    TSetupTree* Tree;
};
