#pragma once

#include "engine/linktransport.h"
#include "link/linkframer.h"

#include <QHostAddress>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <map>
#include <memory>

class TConnectNode;

// Which peers a server lets in: addresses and networks in CIDR form, separated by commas or
// blanks ("192.168.1.0/24, 10.0.0.5"). Empty means loopback and the private ranges.
class TStationFilter {
public:
    explicit TStationFilter(const QString& allowed = {});
    bool Allows(const QHostAddress& peer) const;
    // False when the text held something that is no address or network (it is left out).
    bool IsValid() const { return Valid; }

private:
    QList<QPair<QHostAddress, int>> Networks;
    bool Valid = true;
};

// The sockets of the computer link on TCP: a server socket with its station connections and a
// client socket towards the server. Every event goes to the connect node on the main thread.
class TTcpLink : public QObject, public ILinkTransport {
    Q_OBJECT
public:
    explicit TTcpLink(TConnectNode* node, QObject* parent = nullptr);
    ~TTcpLink() override;

    bool Listen(quint16 port) override;
    void SendToStations(const QByteArray& text) override;
    void CloseStation(int connection) override;
    int StationCount() const override { return int(Stations.size()); }
    void Connect(const QString& address, quint16 port) override;
    bool SendToServer(const QByteArray& text) override;
    void CloseClient() override;
    void CloseAll() override;

    quint16 ServerPort() const;
    // A station connection whose peer stops reading is dropped once this much waits unsent.
    static constexpr qint64 MaxUnsent = 4 * 1024 * 1024;
    // How long a message whose end cannot yet be told waits for more bytes.
    static constexpr int TailWaitMs = 40;

private:
    struct TPeer {
        QTcpSocket* Socket = nullptr;
        std::unique_ptr<TLinkFramer> Framer;
        std::unique_ptr<QTimer> TailTimer;
    };
    void OnNewConnection();
    void OnStationRead(int id);
    void OnClientRead();
    void OnClientError();
    void OnClientDisconnected();
    void DropStation(int id, bool error);
    void ResetClient();

    TConnectNode* Node;
    QTcpServer Server;
    std::map<int, TPeer> Stations;
    int NextId = 1;
    QPointer<QTcpSocket> Client;
    std::unique_ptr<TLinkFramer> ClientFramer;
    QTimer ClientTail;
    bool ClientAttempt = false; // a connection attempt or connection is under way
    int ClientGeneration = 0;
};
