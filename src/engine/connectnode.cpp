#include "engine/connectnode.h"

#include "engine/setuptree.h"

using namespace Qt::StringLiterals;

TConnectNode::TConnectNode(TSetupTree* tree, TSetupNode* parent) : TSetupNode(tree, parent) {
    Caption = u"Propojení"_s;
    TitleText = u"propojení počítačů"_s;
    KeyName = u"Connect"_s;
    EditorClass = u"TSetupConnect"_s;
    Editable = true;
}

bool TConnectNode::IsEmpty() const {
    TRegistry reg;
    return !reg.OpenKey(KeyPath(), false) || !reg.ValueExists(u"ComputerType"_s);
}

void TConnectNode::Load(TRegistry& key) {
    ComputerType = key.ReadInteger(u"ComputerType"_s, 0);
}

void TConnectNode::SetComputerType(int type) {
    ComputerType = type;
    if (type == 3 || !Tree()->IsLoaded)
        return;
    Tree()->ApplyStationShape(type == 2);
}
