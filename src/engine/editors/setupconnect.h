#pragma once

#include "engine/editors/setupframe.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QRadioButton;
class TConnectNode;

// The page of "Propojení": the computer's type, the server's port and address, and the link's
// state and counters, refreshed every second.
class TSetupConnect : public TSetupFrame {
    Q_OBJECT
public:
    explicit TSetupConnect(QWidget* parent = nullptr);
    ~TSetupConnect() override;
    void SaveValues(TRegistry& key) override;
    void LoadValues(TRegistry& key) override;
    // Shows the state and counters of the node.
    void Refresh();

    QRadioButton* Types[3];
    QButtonGroup* ComputerType;
    QLineEdit* Port;
    QLineEdit* IPAddress;
    QWidget* PanelTCPIP;
    QWidget* PanelAddress;
    QWidget* PanelData;
    QLabel* State;
    QLabel* Sent;
    QLabel* Received;
    QLabel* KeepAlive;
    QLabel* Errors;
    QLabel* SentLabel;
    QLabel* ReceivedLabel;
    QLabel* KeepAliveLabel;
    QLabel* ErrorsLabel;

private:
    void TypeChosen(int type);
    TConnectNode* Connect() const;
    int Dots = 0;
};
