#include "app/wiring.h"

#include "cameras/camerasnode.h"
#include "engine/connectnode.h"
#include "engine/editors/setupconnect.h"
#include "engine/setuptree.h"
#include "link/tcplink.h"

void RegisterSubsystems(TSetupTree& tree) {
    tree.SetTopClass(TSetupTree::SlotCameras, TSetupNode::ClassOf<TCamerasNode>());
    tree.LinkTransportClass = [](TConnectNode* node) -> std::unique_ptr<ILinkTransport> {
        return std::make_unique<TTcpLink>(node);
    };
    TQueuePorts::InstallLink(&tree);
}

void RegisterEditorPages() {
    TEditorClasses::Register(QStringLiteral("TSetupConnect"),
                             [](QWidget* parent) { return new TSetupConnect(parent); });
}
