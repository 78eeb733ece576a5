#include "cameras/camerasnode.h"

using namespace Qt::StringLiterals;

TCamerasNode::TCamerasNode(TSetupTree* tree, TSetupNode* parent) : TSetupNode(tree, parent) {
    Caption = u"Kamery"_s;
    AddText = u"Kameru"_s;
    KeyName = u"Cameras"_s;
    Kind = 1;
    MaxChildren = 1;
}
