#include "devices/printboxesnode.h"

using namespace Qt::StringLiterals;

TPrintBoxesNode::TPrintBoxesNode(TSetupTree* tree, TSetupNode* parent) : TSetupNode(tree, parent) {
    Caption = u"Tiskové skříňky"_s;
    AddText = u"Tiskovou skříňku"_s;
    KeyName = u"Print Boxes"_s;
    Kind = 1;
    MaxChildren = 8;
}
