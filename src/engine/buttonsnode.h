#pragma once

#include "engine/setupnode.h"

// "Tlačítka s důvody": the reason buttons of the print boxes.
class TButtonsNode : public TSetupNode {
public:
    TButtonsNode(TSetupTree* tree, TSetupNode* parent);
    QString ClassName() const override { return QStringLiteral("TButtonsNode"); }
};
