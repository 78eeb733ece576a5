#pragma once

#include "engine/setupnode.h"

// "Fronty": the container of the queues. It can never be deleted.
class TQueuesNode : public TSetupNode {
public:
    TQueuesNode(TSetupTree* tree, TSetupNode* parent);
    QString ClassName() const override { return QStringLiteral("TQueuesNode"); }
    bool CanDelete() const override { return false; }
};
