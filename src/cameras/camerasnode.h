#pragma once

#include "engine/setupnode.h"

// "Kamery": the container of the camera (at most one).
class TCamerasNode : public TSetupNode {
public:
    TCamerasNode(TSetupTree* tree, TSetupNode* parent);
    QString ClassName() const override { return QStringLiteral("TCamerasNode"); }
};
