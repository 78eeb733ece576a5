#include "app/wiring.h"

#include "cameras/camerasnode.h"
#include "devices/printboxesnode.h"
#include "engine/buttonsnode.h"
#include "engine/commands.h"
#include "engine/connectnode.h"
#include "engine/editors/setupconnect.h"
#include "engine/queuesnode.h"
#include "engine/setuptree.h"
#include "link/tcplink.h"

void RegisterSubsystems(TSetupTree& tree) {
    tree.SetTopClass(TSetupTree::SlotPrintBoxes, TSetupNode::ClassOf<TPrintBoxesNode>());
    tree.SetTopClass(TSetupTree::SlotCameras, TSetupNode::ClassOf<TCamerasNode>());
    tree.LinkTransportClass = [](TConnectNode* node) -> std::unique_ptr<ILinkTransport> {
        return std::make_unique<TTcpLink>(node);
    };
    TQueuesNode::RegisterDefaults(tree);
    TButtonsNode::RegisterDefaults(tree);
    // Commands that reach this program's engine are cut and executed here; what the engine
    // distributes goes through the connect node to the operators and stations.
    TSetupTree* t = &tree;
    tree.EngineSink = [t](const QByteArray& text) { EngineCommands::ExecuteText(*t, text); };
    TQueuePorts::InstallLink(&tree);
}

void RegisterEditorPages() {
    TEditorClasses::Register(QStringLiteral("TSetupConnect"),
                             [](QWidget* parent) { return new TSetupConnect(parent); });
}
