#pragma once

#include "engine/operatorside.h"

class TConnectNode;

// The operator side of a program without operator windows (a headless server or station):
// it keeps nothing but ends a station whose server shuts down.
class TBasicOperator : public IOperatorSide {
public:
    explicit TBasicOperator(const TConnectNode* const* link) : Link(link) {}
    void ReceiveMessage(const QByteArray& text) override;
    void SetLinkState(int) override {}
    void SetDevicesState(int) override {}
    void HideWindows() override {}
    void RestoreWindows(bool) override {}
    void MarkRunning() override {}
    void QuitIfStation() override;

private:
    const TConnectNode* const* Link;
};
