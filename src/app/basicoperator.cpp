#include "app/basicoperator.h"

#include "engine/connectnode.h"
#include "link/linkframer.h"

#include <QCoreApplication>

void TBasicOperator::ReceiveMessage(const QByteArray& text) {
    // Walk the text by the layout of its messages; "*pS" ends a station.
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype n = TLinkFramer::Length(TLinkFramer::States, text.constData() + pos,
                                          text.size() - pos, true);
        if (n <= 0)
            return;
        if (n == 3 && text.mid(pos, 3) == "*pS")
            QuitIfStation();
        pos += n;
    }
}

void TBasicOperator::QuitIfStation() {
    if (*Link && (*Link)->ComputerType == TConnectNode::Station)
        QCoreApplication::quit();
}
