#pragma once

#include "engine/setupnode.h"

// "Tiskové skříňky": the container of the print boxes (at most eight).
class TPrintBoxesNode : public TSetupNode {
public:
    TPrintBoxesNode(TSetupTree* tree, TSetupNode* parent);
    QString ClassName() const override { return QStringLiteral("TPrintBoxesNode"); }
};
