#pragma once

#include "engine/setupnode.h"

// "Propojení": how this computer takes part in the waiting room. 0 stand-alone, 1 server,
// 2 station; 3 matches no type (used to apply the loaded type anew).
class TConnectNode : public TSetupNode {
public:
    TConnectNode(TSetupTree* tree, TSetupNode* parent);
    QString ClassName() const override { return QStringLiteral("TConnectNode"); }
    bool IsEmpty() const override;
    void Load(TRegistry& key) override;

    // Stores the type and gives the tree the shape of that type.
    virtual void SetComputerType(int type);

    int ComputerType = 0;
};
