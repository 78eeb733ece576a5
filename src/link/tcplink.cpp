#include "link/tcplink.h"

#include "engine/connectnode.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

QHostAddress Plain(const QHostAddress& address) {
    bool ok = false;
    quint32 v4 = address.toIPv4Address(&ok);
    return ok ? QHostAddress(v4) : address;
}

} // namespace

TStationFilter::TStationFilter(const QString& allowed) {
    QStringList items = allowed.split(QRegularExpression(u"[,;\\s]+"_s), Qt::SkipEmptyParts);
    if (items.isEmpty())
        items = {u"127.0.0.0/8"_s,    u"10.0.0.0/8"_s, u"172.16.0.0/12"_s, u"192.168.0.0/16"_s,
                 u"169.254.0.0/16"_s, u"::1/128"_s,    u"fe80::/10"_s,     u"fc00::/7"_s};
    for (const QString& item : items) {
        QPair<QHostAddress, int> net = QHostAddress::parseSubnet(item);
        if (net.first.isNull()) {
            QHostAddress single(item);
            if (single.isNull()) {
                Valid = false;
                continue;
            }
            net = {single, single.protocol() == QAbstractSocket::IPv6Protocol ? 128 : 32};
        }
        Networks.append(net);
    }
}

bool TStationFilter::Allows(const QHostAddress& peer) const {
    QHostAddress address = Plain(peer);
    for (const auto& net : Networks)
        if (address.isInSubnet(net))
            return true;
    return false;
}

TTcpLink::TTcpLink(TConnectNode* node, QObject* parent) : QObject(parent), Node(node) {
    connect(&Server, &QTcpServer::newConnection, this, &TTcpLink::OnNewConnection);
    ClientTail.setSingleShot(true);
    ClientTail.setInterval(TailWaitMs);
    connect(&ClientTail, &QTimer::timeout, this, [this] {
        if (!ClientFramer)
            return;
        QList<QByteArray> messages;
        ClientFramer->Flush(messages);
        if (!messages.isEmpty())
            Node->ClientSocketRead(messages);
    });
}

TTcpLink::~TTcpLink() {
    Node = nullptr;
    CloseAll();
}

bool TTcpLink::Listen(quint16 port) {
    Server.close();
    return Server.listen(QHostAddress::Any, port);
}

quint16 TTcpLink::ServerPort() const {
    return Server.serverPort();
}

void TTcpLink::OnNewConnection() {
    while (QTcpSocket* socket = Server.nextPendingConnection()) {
        TStationFilter filter(Node ? Node->AllowedStations : QString());
        if (!filter.Allows(socket->peerAddress())) {
            socket->abort();
            socket->deleteLater();
            if (Node)
                Node->ServerSocketRefused();
            continue;
        }
        int id = NextId++;
        TPeer& peer = Stations[id];
        peer.Socket = socket;
        peer.Framer = std::make_unique<TLinkFramer>(TLinkFramer::Commands);
        peer.TailTimer = std::make_unique<QTimer>();
        peer.TailTimer->setSingleShot(true);
        peer.TailTimer->setInterval(TailWaitMs);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(peer.TailTimer.get(), &QTimer::timeout, this, [this, id] {
            auto it = Stations.find(id);
            if (it == Stations.end())
                return;
            QList<QByteArray> messages;
            it->second.Framer->Flush(messages);
            if (!messages.isEmpty() && Node)
                Node->ServerSocketClientRead(id, messages);
        });
        connect(socket, &QTcpSocket::readyRead, this, [this, id] { OnStationRead(id); });
        connect(socket, &QTcpSocket::disconnected, this, [this, id] { DropStation(id, false); });
        connect(socket, &QTcpSocket::errorOccurred, this,
                [this, id](QAbstractSocket::SocketError error) {
                    DropStation(id, error != QAbstractSocket::RemoteHostClosedError);
                });
        if (Node)
            Node->ServerSocketAccept(id);
    }
}

void TTcpLink::OnStationRead(int id) {
    auto it = Stations.find(id);
    if (it == Stations.end())
        return;
    TPeer& peer = it->second;
    QList<QByteArray> messages;
    TLinkFramer::Result result = peer.Framer->Feed(peer.Socket->readAll(), messages);
    if (!messages.isEmpty() && Node)
        Node->ServerSocketClientRead(id, messages);
    // The node may have closed the connection meanwhile.
    it = Stations.find(id);
    if (it == Stations.end())
        return;
    if (result != TLinkFramer::Ok) {
        DropStation(id, false);
        if (Node)
            Node->ServerSocketRefused();
        return;
    }
    if (it->second.Framer->HasAmbiguousTail())
        it->second.TailTimer->start();
    else
        it->second.TailTimer->stop();
}

void TTcpLink::DropStation(int id, bool error) {
    auto it = Stations.find(id);
    if (it == Stations.end())
        return;
    QTcpSocket* socket = it->second.Socket;
    TPeer peer = std::move(it->second);
    Stations.erase(it);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    if (Node) {
        if (error)
            Node->ServerSocketClientError(id);
        else
            Node->ServerSocketClientClosed(id);
    }
}

void TTcpLink::SendToStations(const QByteArray& text) {
    QList<int> slow;
    for (auto& [id, peer] : Stations) {
        // Written at once: waiting for the event loop would wake it once per station.
        peer.Socket->write(text);
        peer.Socket->flush();
        // A station that stops reading must not make the server hold ever more data for it.
        if (peer.Socket->bytesToWrite() > MaxUnsent)
            slow.append(id);
    }
    for (int id : slow)
        DropStation(id, true);
}

void TTcpLink::CloseStation(int connection) {
    auto it = Stations.find(connection);
    if (it == Stations.end())
        return;
    QTcpSocket* socket = it->second.Socket;
    Stations.erase(it);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    if (Node)
        Node->ServerSocketClientClosed(connection);
}

void TTcpLink::ResetClient() {
    ClientTail.stop();
    ClientFramer.reset();
    if (Client) {
        QTcpSocket* socket = Client;
        Client = nullptr;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
}

void TTcpLink::Connect(const QString& address, quint16 port) {
    ResetClient();
    auto* socket = new QTcpSocket(this);
    Client = socket;
    ClientFramer = std::make_unique<TLinkFramer>(TLinkFramer::States);
    ClientAttempt = true;
    ++ClientGeneration;
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket, &QTcpSocket::connected, this, [this] {
        if (Node)
            Node->ClientSocketConnect();
    });
    connect(socket, &QTcpSocket::readyRead, this, &TTcpLink::OnClientRead);
    connect(socket, &QTcpSocket::errorOccurred, this, &TTcpLink::OnClientError);
    connect(socket, &QTcpSocket::disconnected, this, &TTcpLink::OnClientDisconnected);
    socket->connectToHost(address.trimmed().isEmpty() ? u"127.0.0.1"_s : address.trimmed(), port);
}

void TTcpLink::OnClientRead() {
    if (!Client || !ClientFramer)
        return;
    QList<QByteArray> messages;
    TLinkFramer::Result result = ClientFramer->Feed(Client->readAll(), messages);
    if (!messages.isEmpty() && Node)
        Node->ClientSocketRead(messages);
    if (!Client || !ClientFramer)
        return;
    if (result != TLinkFramer::Ok) {
        // A server that sends what can never be a message is left; the station reconnects.
        OnClientError();
        return;
    }
    if (ClientFramer->HasAmbiguousTail())
        ClientTail.start();
    else
        ClientTail.stop();
}

void TTcpLink::OnClientError() {
    if (!ClientAttempt)
        return;
    ClientAttempt = false;
    ResetClient();
    if (Node) {
        Node->ClientSocketError();
        Node->ClientSocketDisconnect();
    }
}

void TTcpLink::OnClientDisconnected() {
    if (!ClientAttempt)
        return;
    ClientAttempt = false;
    ResetClient();
    if (Node)
        Node->ClientSocketDisconnect();
}

bool TTcpLink::SendToServer(const QByteArray& text) {
    if (!Client || Client->state() != QAbstractSocket::ConnectedState)
        return false;
    Client->write(text);
    Client->flush();
    return true;
}

void TTcpLink::CloseClient() {
    if (!Client)
        return;
    if (ClientAttempt) {
        // The disconnection event follows, as for a lost connection.
        int generation = ClientGeneration;
        QTimer::singleShot(0, this, [this, generation] {
            if (generation == ClientGeneration)
                OnClientDisconnected();
        });
        Client->disconnect(this);
        Client->abort();
        return;
    }
    ResetClient();
}

void TTcpLink::CloseAll() {
    Server.close();
    while (!Stations.empty())
        CloseStation(Stations.begin()->first);
    ClientAttempt = false;
    ResetClient();
}
