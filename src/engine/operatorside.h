#pragma once

#include <QByteArray>

// What the engine and the computer link need of this program's operator side (the main window
// with its operator windows). A program without windows installs a small one of its own.
class IOperatorSide {
public:
    virtual ~IOperatorSide() = default;
    // A state message text for the operator windows.
    virtual void ReceiveMessage(const QByteArray& text) = 0;
    virtual void SetLinkState(int state) = 0;
    // 1 when a print box, display or camera is not connected, else 2.
    virtual void SetDevicesState(int state) = 0;
    // A station lost its server: the operator windows hide until it is back.
    virtual void HideWindows() = 0;
    // A station is connected; wasConnected tells a reconnection from the first connection.
    virtual void RestoreWindows(bool wasConnected) = 0;
    // The computer type was applied: the program now shows that it runs.
    virtual void MarkRunning() = 0;
    // A station's server shuts down ("*pS"): the program ends.
    virtual void QuitIfStation() = 0;
};
