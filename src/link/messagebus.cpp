#include "link/messagebus.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QTimer>
#include <QtEndian>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr char Magic[4] = {'L', 'B', 'M', '1'};
constexpr char Ack = '\x06';

QString IdText(quint32 id) {
    return QStringLiteral("%1").arg(id, 8, 16, QLatin1Char('0'));
}

// An endpoint's file name holds its id in eight hex digits.
quint32 IdFromName(const QString& name) {
    if (name.size() != 13 || !name.endsWith(u".sock"_s))
        return 0;
    bool ok = false;
    const quint32 id = name.left(8).toUInt(&ok, 16);
    return ok ? id : 0;
}

} // namespace

TMessageBus::TMessageBus(QObject* parent) : QObject(parent) {}

TMessageBus::~TMessageBus() {
    for (const QString& path : std::as_const(Announced)) {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly) && f.read(16).trimmed() == IdText(Id).toLatin1()) {
            f.close();
            f.remove();
        }
    }
    if (Server)
        Server->close(); // removes the endpoint's file
}

QString TMessageBus::Folder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString path = QDir::isAbsolutePath(runtime)
                             ? runtime + u"/lobrana"_s
                             : u"/tmp/lobrana-"_s + QString::number(::getuid());
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    // Another user could have made the folder first to read or forge our messages.
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 077) != 0)
        return {};
    return path;
}

QString TMessageBus::EndpointPath(quint32 id) const {
    return Dir + u'/' + IdText(id) + u".sock"_s;
}

QString TMessageBus::AnnouncePath(const QString& name) const {
    return Dir + u"/announce-"_s + QString::fromLatin1(name.toUtf8().toHex());
}

QByteArray TMessageBus::Frame(quint32 first, quint32 sender) {
    QByteArray frame(Magic, 4);
    frame.resize(FrameSize);
    qToLittleEndian(first, frame.data() + 4);
    qToLittleEndian(sender, frame.data() + 8);
    return frame;
}

bool TMessageBus::Register() {
    if (Server)
        return true;
    Dir = Folder();
    if (Dir.isEmpty())
        return false;
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const quint32 id = QRandomGenerator::system()->generate();
        if (id == 0 || QFileInfo::exists(EndpointPath(id)))
            continue;
        if (server->listen(EndpointPath(id))) {
            Server = server;
            Id = id;
            connect(Server, &QLocalServer::newConnection, this, &TMessageBus::OnConnection);
            return true;
        }
    }
    delete server;
    return false;
}

void TMessageBus::OnConnection() {
    while (QLocalSocket* socket = Server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadFrom(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A peer that never completes its message is dropped.
        QTimer::singleShot(ReceiveTimeoutMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        if (socket->bytesAvailable() > 0)
            ReadFrom(socket);
    }
}

void TMessageBus::ReadFrom(QLocalSocket* socket) {
    if (socket->property("handled").toBool()) {
        socket->readAll(); // anything after the one message is ignored
        return;
    }
    if (socket->bytesAvailable() < FrameSize)
        return;
    const QByteArray frame = socket->read(FrameSize);
    socket->setProperty("handled", true);
    if (!frame.startsWith(QByteArray(Magic, 4))) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    const quint32 first = qFromLittleEndian<quint32>(frame.constData() + 4);
    const quint32 sender = qFromLittleEndian<quint32>(frame.constData() + 8);
    QPointer<QLocalSocket> guard(socket);
    if (sender != Id)
        emit Received(first, sender);
    if (!guard)
        return;
    socket->write(&Ack, 1);
    socket->flush();
    socket->disconnectFromServer();
}

TMessageBus::TDelivery TMessageBus::Deliver(quint32 window, quint32 first) {
    if (window == 0 || window == Id || Dir.isEmpty())
        return TDelivery::Absent;
    const QString path = EndpointPath(window);
    QLocalSocket socket;
    QDeadlineTimer deadline(TimeoutMs);
    socket.connectToServer(path);
    if (!socket.waitForConnected(int(deadline.remainingTime()))) {
        // Nobody listens on the file: a program that ended without closing its endpoint.
        if (socket.error() == QLocalSocket::ConnectionRefusedError)
            QFile::remove(path);
        return socket.error() == QLocalSocket::SocketTimeoutError ? TDelivery::NoAnswer
                                                                  : TDelivery::Absent;
    }
    socket.write(Frame(first, Id));
    while (socket.bytesAvailable() < 1) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0 || !socket.waitForReadyRead(int(left))) {
            socket.abort();
            return TDelivery::NoAnswer;
        }
    }
    const bool acknowledged = socket.read(1).at(0) == Ack;
    socket.abort();
    return acknowledged ? TDelivery::Delivered : TDelivery::NoAnswer;
}

QList<quint32> TMessageBus::Endpoints() const {
    QList<quint32> ids;
    const QString dir = Dir.isEmpty() ? Folder() : Dir;
    if (dir.isEmpty())
        return ids;
    const QStringList names =
        QDir(dir).entryList({u"*.sock"_s}, QDir::System | QDir::Files, QDir::Name);
    for (const QString& name : names)
        if (const quint32 id = IdFromName(name))
            ids.append(id);
    return ids;
}

int TMessageBus::Broadcast(quint32 first) {
    int delivered = 0;
    const QList<quint32> ids = Endpoints();
    for (quint32 id : ids)
        if (id != Id && Send(id, first))
            ++delivered;
    return delivered;
}

bool TMessageBus::SendRequest(int code, quint32 argument, quint32 window) {
    if (code < 0 || code > 7 || argument > ProgramMessage::ArgumentMask)
        return false;
    const quint32 first = ProgramMessage::Request(code, argument);
    return window == 0 ? Broadcast(first) > 0 : Send(window, first);
}

bool TMessageBus::SendAnswer(quint32 request, quint32 window) {
    const quint32 first = ProgramMessage::Answer(request);
    return window == 0 ? Broadcast(first) > 0 : Send(window, first);
}

bool TMessageBus::Announce(const QString& name) {
    if (!Id)
        return false;
    const QString path = AnnouncePath(name);
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(IdText(Id).toLatin1() + '\n');
    if (!f.commit())
        return false;
    if (!Announced.contains(path))
        Announced.append(path);
    return true;
}

quint32 TMessageBus::FindAnnounced(const QString& name) const {
    const QString dir = Dir.isEmpty() ? Folder() : Dir;
    if (dir.isEmpty())
        return 0;
    QFile f(dir + u"/announce-"_s + QString::fromLatin1(name.toUtf8().toHex()));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    bool ok = false;
    const quint32 id = QString::fromLatin1(f.read(16).trimmed()).toUInt(&ok, 16);
    if (!ok || id == 0 || id == Id || !QFileInfo::exists(dir + u'/' + IdText(id) + u".sock"_s))
        return 0;
    return id;
}
