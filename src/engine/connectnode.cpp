#include "engine/connectnode.h"

#include "engine/linktransport.h"
#include "engine/operatorside.h"
#include "engine/setuptree.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kKeepAliveTicks = 30;
constexpr int kSilenceTicks = 50;
constexpr int kRetryTicks = 10;
// Tree pictures: one per link state, ten for the cycling "searching" picture.
constexpr int kStatePicture = 10;
constexpr int kSearchPicture = 20;

bool IsKeepAlive(const QByteArray& message) {
    return message == "*pW";
}

} // namespace

TConnectNode::TConnectNode(TSetupTree* tree, TSetupNode* parent) : TSetupNode(tree, parent) {
    Caption = u"Propojení"_s;
    TitleText = u"propojení počítačů"_s;
    KeyName = u"Connect"_s;
    EditorClass = u"TSetupConnect"_s;
    Editable = true;
    ImageIndex = kStatePicture;
    if (tree->LinkTransportClass)
        Transport = tree->LinkTransportClass(this);
}

TConnectNode::~TConnectNode() {
    CloseSockets();
    Transport.reset();
}

void TConnectNode::SetTransport(std::unique_ptr<ILinkTransport> transport) {
    CloseSockets();
    Transport = std::move(transport);
}

bool TConnectNode::IsEmpty() const {
    TRegistry reg;
    return !reg.OpenKey(KeyPath(), false) || !reg.ValueExists(u"ComputerType"_s);
}

void TConnectNode::Load(TRegistry& key) {
    IPAddress = key.ReadString(u"IPAddress"_s, IPAddress);
    Port = key.ReadInteger(u"Port"_s, Port);
    AllowedStations = key.ReadString(u"AllowedStations"_s, AllowedStations);
    if (Port <= 0 || Port > 65535)
        Port = 4097;
    int type = key.ReadInteger(u"ComputerType"_s, ComputerType);
    if (type < 0 || type > 2)
        type = 0;
    if (Loading) {
        // The tree is still being built: the type is applied once it stands.
        ComputerType = type;
        Loading = false;
        return;
    }
    SetComputerType(type);
}

QString TConnectNode::LinkStateText(int state) {
    switch (state) {
    case Starting:
        return u"Startuji"_s;
    case Searching:
        return u"Hledám server"_s;
    case Connected:
        return u"Připojeno"_s;
    case ServerNotFound:
        return u"Server nenalezen"_s;
    case PortFailed:
        return u"Port nelze otevřít"_s;
    case ServerRunning:
        return u"Server spuštěn"_s;
    case Stopping:
        return u"Zastavuji"_s;
    default:
        return {};
    }
}

void TConnectNode::ResetCounters() {
    ReceivedCount = SentCount = KeepAliveCount = ErrorCount = 0;
}

void TConnectNode::SetComputerType(int type) {
    if (type == ComputerType)
        return;
    ComputerType = type;
    if (!Tree()->IsLoaded)
        return;
    ApplyType();
}

void TConnectNode::ApplyType() {
    if (ComputerType < 0 || ComputerType > 2)
        return;
    if (IOperatorSide* op = Tree()->Operator)
        op->MarkRunning();
    switch (ComputerType) {
    case StandAlone:
        Caption = u"Počítač systému Lobrana"_s;
        NotifyChanged();
        ChangeLinkState(Starting);
        Tree()->ApplyStationShape(false);
        Tree()->ResumeTimer();
        CloseSockets();
        ChangeLinkState(Single);
        break;
    case Server:
        Caption = u"Server systému Lobrana"_s;
        NotifyChanged();
        ChangeLinkState(Starting);
        Tree()->ApplyStationShape(false);
        Tree()->ResumeTimer();
        ResetCounters();
        CloseSockets();
        StartListening();
        break;
    case Station:
        Caption = u"Stanice systému Lobrana"_s;
        NotifyChanged();
        WasConnected = false;
        ChangeLinkState(Starting);
        if (IOperatorSide* op = Tree()->Operator)
            op->SetDevicesState(2);
        Tree()->Timer().stop();
        Tree()->ApplyStationShape(true);
        ResetCounters();
        CloseSockets();
        StartConnecting();
        Tree()->ResumeTimer();
        break;
    }
}

void TConnectNode::StartListening() {
    if (!Tree()->IsLoaded)
        return;
    if (!Transport || !Transport->Listen(quint16(Port))) {
        ChangeLinkState(PortFailed);
        return;
    }
    ServerSocketListen();
}

void TConnectNode::StartConnecting() {
    ChangeLinkState(Searching);
    if (Transport)
        Transport->Connect(IPAddress, quint16(Port));
}

void TConnectNode::ChangeLinkState(int state) {
    if (state == LinkState)
        return;
    LinkState = state;
    ShowImage(state == Searching ? kSearchPicture + PictureStep : kStatePicture + state);
    if (IOperatorSide* op = Tree()->Operator)
        op->SetLinkState(state);
}

void TConnectNode::Tick() {
    TSetupNode::Tick();
    if (ComputerType == Server) {
        if (LinkState == ServerRunning && Ticks - LastEvent > kKeepAliveTicks) {
            LastEvent = Ticks;
            Distribute("*pW");
        }
        const QList<int> connections = LastRead.keys();
        for (int c : connections)
            if (Ticks - LastRead.value(c) > kSilenceTicks) {
                LastRead.remove(c);
                if (Transport)
                    Transport->CloseStation(c);
            }
    } else if (ComputerType == Station) {
        if (LinkState == ServerNotFound && Ticks - LastEvent > kRetryTicks) {
            StartConnecting();
        } else if (LinkState == Connected && Ticks - LastEvent > kSilenceTicks) {
            if (Transport)
                Transport->CloseClient();
        }
    }
    if (ComputerType == Server || ComputerType == Station) {
        if (LinkState == Searching && Ticks % 2 == 0) {
            PictureStep = (PictureStep + 1) % 10;
            ShowImage(kSearchPicture + PictureStep);
        }
        if (Ticks % 10 == 0 && OnRefresh)
            OnRefresh();
    }
}

void TConnectNode::SendToEngine(const QByteArray& text) {
    if (ComputerType == Station) {
        // A text sent while not connected is dropped.
        if (Transport && Transport->SendToServer(text) && !text.contains("*pW"))
            ++SentCount;
        return;
    }
    Tree()->ExecuteLocally(text);
}

void TConnectNode::Distribute(const QByteArray& text) {
    if (text != "*pW")
        Tree()->DeliverToOperator(text);
    if (ComputerType == Server && Tree()->IsLoaded && Transport) {
        int stations = Transport->StationCount();
        if (stations > 0)
            Transport->SendToStations(text);
        if (text != "*pW")
            SentCount += stations;
    }
}

void TConnectNode::StopStations() {
    if (ComputerType == Server && Tree()->IsLoaded)
        Distribute("*pS");
}

void TConnectNode::CloseSockets() {
    LastRead.clear();
    if (Transport)
        Transport->CloseAll();
}

int TConnectNode::StationCount() const {
    return ComputerType == Server && Transport ? Transport->StationCount() : 0;
}

void TConnectNode::ServerSocketListen() {
    LastEvent = Ticks;
    ChangeLinkState(ServerRunning);
}

void TConnectNode::ServerSocketAccept(int connection) {
    // Stamped when accepted: a slow first message does not get the connection closed.
    LastRead.insert(connection, Ticks);
}

void TConnectNode::ServerSocketClientRead(int connection, const QList<QByteArray>& messages) {
    LastRead.insert(connection, Ticks);
    QByteArray rest;
    for (const QByteArray& m : messages) {
        if (IsKeepAlive(m))
            ++KeepAliveCount;
        else
            rest += m;
    }
    if (rest.isEmpty())
        return;
    ++ReceivedCount;
    SendToEngine(rest);
}

void TConnectNode::ServerSocketClientError(int connection) {
    LastRead.remove(connection);
    if (Transport)
        Transport->CloseStation(connection);
    ++ErrorCount;
}

void TConnectNode::ServerSocketClientClosed(int connection) {
    LastRead.remove(connection);
}

void TConnectNode::ServerSocketRefused() {
    ++ErrorCount;
}

void TConnectNode::ClientSocketConnect() {
    if (LinkState != Searching) {
        if (Transport)
            Transport->CloseClient();
        if (IOperatorSide* op = Tree()->Operator)
            op->RestoreWindows(false);
        return;
    }
    LastEvent = Ticks;
    ChangeLinkState(Connected);
    RequestFullState();
    if (IOperatorSide* op = Tree()->Operator)
        op->RestoreWindows(WasConnected);
    WasConnected = true;
}

void TConnectNode::ClientSocketRead(const QList<QByteArray>& messages) {
    LastEvent = Ticks;
    QByteArray rest;
    bool keepAlive = false;
    for (const QByteArray& m : messages) {
        if (IsKeepAlive(m)) {
            ++KeepAliveCount;
            keepAlive = true;
        } else {
            rest += m;
        }
    }
    if (keepAlive && Transport)
        Transport->SendToServer("*pW");
    if (rest.isEmpty())
        return;
    ++ReceivedCount;
    Tree()->DeliverToOperator(rest);
}

void TConnectNode::ClientSocketError() {
    if (Transport)
        Transport->CloseClient();
    if (LinkState == Searching || LinkState == Connected || LinkState == ServerNotFound)
        ++ErrorCount;
}

void TConnectNode::ClientSocketDisconnect() {
    if (LinkState != Searching && LinkState != Connected)
        return;
    if (IOperatorSide* op = Tree()->Operator)
        op->HideWindows();
    ChangeLinkState(ServerNotFound);
    LastEvent = Ticks;
}
