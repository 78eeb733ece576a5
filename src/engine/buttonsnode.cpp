#include "engine/buttonsnode.h"

using namespace Qt::StringLiterals;

TButtonsNode::TButtonsNode(TSetupTree* tree, TSetupNode* parent) : TSetupNode(tree, parent) {
    Caption = u"Tlačítka s důvody"_s;
    AddText = u"Tlačítko s důvodem"_s;
    KeyName = u"Buttons"_s;
    Kind = 1;
    MaxChildren = 8;
}
