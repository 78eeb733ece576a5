#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The sockets of the computer link, as the connect node drives them. Reads arrive back at the
// node as whole messages (a text split by the network is put together first), through the
// node's event methods.
class ILinkTransport {
public:
    virtual ~ILinkTransport() = default;
    // Server side. Listen returns false when the port cannot be opened.
    virtual bool Listen(quint16 port) = 0;
    virtual void SendToStations(const QByteArray& text) = 0;
    virtual void CloseStation(int connection) = 0;
    virtual int StationCount() const = 0;
    // Station side: connecting reports back through ClientSocketConnect or
    // ClientSocketError + ClientSocketDisconnect.
    virtual void Connect(const QString& address, quint16 port) = 0;
    // False when the text was dropped (not connected).
    virtual bool SendToServer(const QByteArray& text) = 0;
    virtual void CloseClient() = 0;
    virtual void CloseAll() = 0;
};
