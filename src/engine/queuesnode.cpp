#include "engine/queuesnode.h"

using namespace Qt::StringLiterals;

TQueuesNode::TQueuesNode(TSetupTree* tree, TSetupNode* parent) : TSetupNode(tree, parent) {
    Caption = u"Fronty"_s;
    AddText = u"Frontu"_s;
    TitleText = u"front"_s;
    KeyName = u"Queues"_s;
    EditorClass = u"TSetupQueues"_s;
    Editable = true;
    Kind = 1;
    MaxChildren = 8;
}
