// Building the setup tree from a full configuration, and the cost of reading a value through the
// store compared with a bare prepared SQLite select of the same value.

#include "app/wiring.h"
#include "engine/helpers.h"
#include "engine/registry.h"
#include "engine/setuptree.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

int CountNodes(const TSetupNode* node) {
    int n = 1;
    for (const auto& c : node->Children())
        n += CountNodes(c.get());
    return n;
}

// Every container at its capacity: 8 print boxes with 16 displays of 5 rows and 2 door locks,
// 8 buttons, 8 queues with their fixed children, 1 camera.
void WriteFullConfiguration() {
    TConfigStore& store = TConfigStore::Hive(THive::Machine);
    TRegistry reg(store);
    const QString root = RootKeyPath(0);
    store.Begin();
    reg.OpenKey(root + u"\\Connect"_s, true);
    reg.WriteInteger(u"ComputerType"_s, 0);
    for (int b = 1; b <= 8; ++b) {
        QString box = root + u"\\Print Boxes\\"_s + PadNumber3(b);
        reg.OpenKey(box, true);
        reg.WriteString(u"Name"_s, u"Tisková skříňka "_s + PadNumber3(b));
        reg.WriteString(u"Port"_s, u"/dev/ttyUSB%1"_s.arg(b - 1));
        for (int d = 1; d <= 16; ++d) {
            QString display = box + u"\\Displays\\"_s + PadNumber3(d);
            reg.OpenKey(display, true);
            reg.WriteString(u"Name"_s, u"Displej "_s + PadNumber3(d));
            reg.WriteInteger(u"HWNumber"_s, d);
            for (int r = 1; r <= 5; ++r) {
                reg.OpenKey(display + u'\\' + PadNumber3(r), true);
                reg.WriteString(u"Name"_s, u"Řádek "_s + PadNumber3(r));
                reg.WriteInteger(u"Row"_s, r - 1);
                reg.WriteInteger(u"Queues"_s, 6);
                reg.WriteInteger(u"Show"_s, r % 2);
                reg.WriteBool(u"Blink"_s, true);
            }
        }
        for (int l = 1; l <= 2; ++l) {
            reg.OpenKey(box + u"\\Door Locks\\"_s + PadNumber3(l), true);
            reg.WriteString(u"Name"_s, u"Dveřní zámek "_s + PadNumber3(l));
        }
        reg.OpenKey(box + u"\\Audio Output"_s, true);
    }
    for (int b = 1; b <= 8; ++b) {
        reg.OpenKey(root + u"\\Buttons\\"_s + PadNumber3(b), true);
        reg.WriteString(u"Name"_s, u"Tlačítko "_s + PadNumber3(b));
        reg.WriteInteger(u"Position"_s, b - 1);
        reg.WriteInteger(u"Priority"_s, 1);
        reg.WriteInteger(u"Queue"_s, (b - 1) % 8 + 1);
    }
    for (int q = 1; q <= 8; ++q) {
        QString queue = root + u"\\Queues\\"_s + PadNumber3(q);
        reg.OpenKey(queue, true);
        reg.WriteString(u"Name"_s, u"Fronta "_s + PadNumber3(q));
        reg.WriteInteger(u"Min"_s, 100);
        reg.WriteInteger(u"Max"_s, 999);
        reg.WriteInteger(u"Count Out"_s, 5);
        reg.WriteInteger(u"Repeat Time"_s, 3);
        for (const auto& sub : {u"Time Table"_s, u"Statistics"_s, u"Audio Output"_s, u"Ticket"_s})
            reg.OpenKey(queue + u'\\' + sub, true);
    }
    reg.OpenKey(root + u"\\Cameras\\001"_s, true);
    reg.WriteString(u"Name"_s, u"Kamera 001"_s);
    store.Commit();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("LOBRANA_HOME", dir.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (dir.path() + u"/config"_s).toLocal8Bit());
    WriteFullConfiguration();

    std::vector<double> builds;
    int nodes = 0;
    for (int i = 0; i < 15; ++i) {
        TSetupTree tree;
        RegisterSubsystems(tree);
        QElapsedTimer t;
        t.start();
        tree.BuildTree();
        builds.push_back(t.nsecsElapsed() / 1e6);
        nodes = 0;
        for (const auto& top : tree.TopNodes())
            nodes += CountNodes(top.get());
        tree.Shutdown();
    }
    std::printf(
        "tree build from a full configuration: %d nodes, median %.2f ms (target < 100 ms)\n", nodes,
        Median(builds));

    // Reading one value: through TRegistry versus a bare prepared select.
    TConfigStore& store = TConfigStore::Hive(THive::Machine);
    TRegistry reg(store);
    reg.OpenKey(RootKeyPath(0) + u"\\Queues\\002"_s, false);
    const QString name = u"Count Out"_s;
    const int n = 200000;
    qint64 keyId = store.FindKey(RootKeyPath(0) + u"\\Queues\\002"_s);
    sqlite3_stmt* raw = nullptr;
    sqlite3_prepare_v2(store.Handle(), "SELECT type, data FROM vals WHERE key=?1 AND fold=?2", -1,
                       &raw, nullptr);
    const QByteArray fold = TConfigStore::Fold(name);
    std::vector<double> apiRuns, rawRuns;
    long long sink = 0;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < n; ++i)
            sink += reg.ReadInteger(name, 0);
        apiRuns.push_back(double(t.nsecsElapsed()) / n);
        t.restart();
        for (int i = 0; i < n; ++i) {
            sqlite3_bind_int64(raw, 1, keyId);
            sqlite3_bind_blob(raw, 2, fold.constData(), int(fold.size()), SQLITE_STATIC);
            if (sqlite3_step(raw) == SQLITE_ROW)
                sink += sqlite3_column_int(raw, 1);
            sqlite3_reset(raw);
        }
        rawRuns.push_back(double(t.nsecsElapsed()) / n);
    }
    sqlite3_finalize(raw);
    double api = Median(apiRuns), bare = Median(rawRuns);
    std::printf("value read: store API %.0f ns, bare prepared select %.0f ns, ratio %.2f "
                "(target <= 2.00) [%lld]\n",
                api, bare, api / bare, sink % 10);
    return 0;
}
