#include "app/wiring.h"

#include "cameras/camerasnode.h"
#include "engine/setuptree.h"

void RegisterSubsystems(TSetupTree& tree) {
    tree.SetTopClass(TSetupTree::SlotCameras, TSetupNode::ClassOf<TCamerasNode>());
}

void RegisterEditorPages() {}
