#pragma once

#include "engine/setupnode.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <functional>
#include <memory>

class ILinkTransport;

// "Propojení": how this computer takes part in the waiting room, and the link that moves
// station messages between the operator side and the engine: within this program, or between
// a server and its stations over TCP with a keep-alive.
class TConnectNode : public TSetupNode {
public:
    enum ComputerTypes { StandAlone = 0, Server = 1, Station = 2, NoType = 3 };
    enum LinkStates {
        Starting = 0,
        Searching = 1,
        Connected = 2,
        ServerNotFound = 3,
        PortFailed = 4,
        ServerRunning = 5,
        Stopping = 6,
        Single = 7
    };

    TConnectNode(TSetupTree* tree, TSetupNode* parent);
    ~TConnectNode() override;
    QString ClassName() const override { return QStringLiteral("TConnectNode"); }
    bool IsEmpty() const override;
    void Load(TRegistry& key) override;
    void Tick() override;

    // The sockets; none keeps this computer stand-alone in effect.
    void SetTransport(std::unique_ptr<ILinkTransport> transport);
    ILinkTransport* LinkTransport() const { return Transport.get(); }

    void SetComputerType(int type);
    void ChangeLinkState(int state);
    // Every operator command: to the server on a station, else cut and executed here.
    void SendToEngine(const QByteArray& text);
    // Every engine message: to this program's operator side and, on a server, to every station.
    void Distribute(const QByteArray& text);
    void RequestFullState() { SendToEngine("*pX"); }
    void RequestQueueStates() { SendToEngine("*pF"); }
    void StopStations();
    void CloseSockets();
    static QString LinkStateText(int state);

    // Socket events.
    void ServerSocketListen();
    void ServerSocketAccept(int connection);
    void ServerSocketClientRead(int connection, const QList<QByteArray>& messages);
    void ServerSocketClientError(int connection);
    void ServerSocketClientClosed(int connection);
    // A peer that was refused (not allowed, or misbehaving) and closed.
    void ServerSocketRefused();
    void ClientSocketConnect();
    void ClientSocketRead(const QList<QByteArray>& messages);
    void ClientSocketError();
    void ClientSocketDisconnect();

    int StationCount() const;

    QString IPAddress;
    int Port = 4097;
    // Which peers a server lets in (empty: loopback and the private ranges).
    QString AllowedStations;
    int ComputerType = 0;
    int LinkState = 0;
    int ReceivedCount = 0;
    int SentCount = 0;
    int KeepAliveCount = 0;
    int ErrorCount = 0;
    int LastEvent = 0;
    bool WasConnected = false;
    // Called every second while the node's editor page is shown.
    std::function<void()> OnRefresh;

private:
    void ApplyType();
    void ResetCounters();
    void StartListening();
    void StartConnecting();
    bool Loading = true;
    std::unique_ptr<ILinkTransport> Transport;
    QHash<int, int> LastRead; // connection -> tick of its last read
    int PictureStep = 0;
};
