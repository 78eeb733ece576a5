#include "engine/editors/setupconnect.h"

#include "engine/connectnode.h"
#include "engine/helpers.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QColor StateColour(int state) {
    switch (state) {
    case TConnectNode::Connected:
    case TConnectNode::ServerRunning:
    case TConnectNode::Single:
        return QColor(0, 140, 0);
    case TConnectNode::ServerNotFound:
    case TConnectNode::PortFailed:
        return QColor(200, 0, 0);
    default:
        return QColor(230, 120, 0);
    }
}

} // namespace

TSetupConnect::TSetupConnect(QWidget* parent) : TSetupFrame(parent) {
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(this);
    auto* groupLayout = new QVBoxLayout(group);
    ComputerType = new QButtonGroup(this);
    const QString texts[3] = {u"Toto je jediný počítač systému Lobrana"_s,
                              u"Tento počítač je server systému Lobrana"_s,
                              u"Tento počítač je stanice systému Lobrana"_s};
    for (int i = 0; i < 3; ++i) {
        Types[i] = new QRadioButton(texts[i], group);
        ComputerType->addButton(Types[i], i);
        groupLayout->addWidget(Types[i]);
    }
    layout->addWidget(group);

    PanelTCPIP = new QWidget(this);
    auto* tcp = new QFormLayout(PanelTCPIP);
    Port = new QLineEdit(u"4097"_s, PanelTCPIP);
    Port->setObjectName(u"Port"_s);
    tcp->addRow(u"Port:"_s, Port);
    PanelAddress = new QWidget(PanelTCPIP);
    auto* address = new QFormLayout(PanelAddress);
    address->setContentsMargins(0, 0, 0, 0);
    IPAddress = new QLineEdit(PanelAddress);
    IPAddress->setObjectName(u"IPAddress"_s);
    address->addRow(u"IP Adresa serveru:"_s, IPAddress);
    tcp->addRow(PanelAddress);
    layout->addWidget(PanelTCPIP);

    PanelData = new QWidget(this);
    auto* data = new QGridLayout(PanelData);
    State = new QLabel(PanelData);
    QFont bold = State->font();
    bold.setBold(true);
    State->setFont(bold);
    data->addWidget(new QLabel(u"Připojeno:"_s, PanelData), 0, 0);
    data->addWidget(State, 0, 1);
    auto row = [&](int r, const QString& text, QLabel*& label, QLabel*& value) {
        label = new QLabel(text, PanelData);
        value = new QLabel(u"0"_s, PanelData);
        data->addWidget(label, r, 0);
        data->addWidget(value, r, 1);
    };
    row(1, u"Odesláno:"_s, SentLabel, Sent);
    row(2, u"Přijato:"_s, ReceivedLabel, Received);
    row(3, u"Kontrola:"_s, KeepAliveLabel, KeepAlive);
    row(4, u"Chyby:"_s, ErrorsLabel, Errors);
    data->setColumnStretch(2, 1);
    layout->addWidget(PanelData);
    layout->addStretch(1);
    connect(ComputerType, &QButtonGroup::idClicked, this, &TSetupConnect::TypeChosen);
}

TSetupConnect::~TSetupConnect() {
    if (TConnectNode* node = Connect())
        node->OnRefresh = nullptr;
}

TConnectNode* TSetupConnect::Connect() const {
    return dynamic_cast<TConnectNode*>(Node);
}

void TSetupConnect::TypeChosen(int type) {
    PanelTCPIP->setVisible(type != 0);
    PanelAddress->setVisible(type == 2);
    PanelData->setVisible(false);
}

void TSetupConnect::LoadValues(TRegistry& key) {
    int type = key.ReadInteger(u"ComputerType"_s, 0);
    if (type < 0 || type > 2)
        type = 0;
    Types[type]->setChecked(true);
    PanelTCPIP->setVisible(type != 0);
    PanelAddress->setVisible(type == 2);
    if (key.ValueExists(u"Port"_s))
        Port->setText(QString::number(key.ReadInteger(u"Port"_s)));
    IPAddress->setText(key.ReadString(u"IPAddress"_s));
    if (TConnectNode* node = Connect())
        node->OnRefresh = [this] { Refresh(); };
    Refresh();
}

void TSetupConnect::SaveValues(TRegistry& key) {
    int type = std::max(0, ComputerType->checkedId());
    key.WriteInteger(u"ComputerType"_s, type);
    key.WriteInteger(u"Port"_s, ParseNumber(Port->text()));
    key.WriteString(u"IPAddress"_s, IPAddress->text().trimmed());
    if (Node)
        Node->Load(key);
}

void TSetupConnect::Refresh() {
    TConnectNode* node = Connect();
    if (!node)
        return;
    int state = node->LinkState;
    int stations = node->StationCount();
    QString text;
    QColor colour;
    if (stations > 0) {
        text = u"Připojeno"_s + (stations >= 2 ? u":"_s + QString::number(stations) : QString());
        colour = StateColour(TConnectNode::Connected);
    } else {
        text = TConnectNode::LinkStateText(state);
        if (state == TConnectNode::Searching) {
            Dots = Dots % 5 + 1;
            text += QString(Dots, u'.');
        }
        colour = StateColour(state);
    }
    State->setText(text);
    State->setStyleSheet(u"color: %1"_s.arg(colour.name()));
    Sent->setText(QString::number(node->SentCount));
    Received->setText(QString::number(node->ReceivedCount));
    KeepAlive->setText(QString::number(node->KeepAliveCount));
    Errors->setText(QString::number(node->ErrorCount));
    bool counts =
        state == TConnectNode::Connected || (state == TConnectNode::ServerRunning && stations > 0);
    for (QLabel* l : {Sent, Received, KeepAlive, SentLabel, ReceivedLabel, KeepAliveLabel})
        l->setVisible(counts);
    bool errors = state == TConnectNode::Connected ||
                  ((state == TConnectNode::Searching || state == TConnectNode::ServerNotFound ||
                    state == TConnectNode::PortFailed ||
                    (state == TConnectNode::ServerRunning && stations > 0)) &&
                   node->ErrorCount != 0);
    Errors->setVisible(errors);
    ErrorsLabel->setVisible(errors);
    PanelData->setVisible(node->ComputerType != 0);
}
