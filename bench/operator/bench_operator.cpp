// Receiving a full candidate list of 200 candidates in a queue frame and redrawing the frame.

#include "engine/candidate.h"
#include "engine/registry.h"
#include "engine/stationmessage.h"
#include "operator/formclient.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

class THost : public IClientHost {
public:
    bool IsOpened() const override { return true; }
    void SendToEngine(const QByteArray&) override {}
    QList<TQueueEntry> QueueEntries() const override { return {{2, QStringLiteral("Lékař"), 1}}; }
    void ReloadQueueSettings() override {}
    void ClientDestroyed(TFormClient*) override {}
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    qputenv("LOBRANA_HOME", dir.filePath(QStringLiteral("home")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    QApplication app(argc, argv);
    THost host;
    TFormClient form(2, &host);
    form.AddQueuePages(2, false);
    form.show();
    TFrameFronta* frame = form.FrameFor(2);

    QByteArray text = StationMessage::ButtonInfo(1, 1, QStringLiteral("Recept"));
    text += StationMessage::CandidateListStart(2);
    for (int i = 0; i < 200; ++i) {
        TCandidate c(nullptr, nullptr);
        c.Number = i + 1;
        c.State = quint8(i < 120 ? TCandidate::Done
                                 : (i == 120 ? TCandidate::Calling : TCandidate::Waiting));
        c.Kind = quint8(1 + i % 3);
        c.Reason = 1;
        c.SetNote(QStringLiteral("poznámka %1").arg(i));
        StationMessage::AppendCandidate(text, 2, c.Record().constData());
    }
    text += StationMessage::CandidateListEnd(2);

    std::vector<double> times;
    for (int run = 0; run < 50; ++run) {
        QElapsedTimer timer;
        timer.start();
        form.PassMessage(text);
        frame->repaint();
        frame->Fronta->viewport()->repaint();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    std::printf("frame: 200-candidate list received and redrawn: median %.2f ms, worst %.2f ms "
                "(target < 10 ms), %d rows\n",
                times[times.size() / 2], times.back(), frame->Fronta->topLevelItemCount());
    return 0;
}
