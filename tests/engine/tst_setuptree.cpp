#include "support/testenv.h"
#include "support/testnodes.h"

#include "app/wiring.h"
#include "engine/buttonsnode.h"
#include "engine/connectnode.h"
#include "engine/queuesnode.h"
#include "engine/regtext.h"
#include "engine/setuptree.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray ExportAll() {
    QByteArray text;
    RegText::Export(TConfigStore::Hive(THive::Machine), RootKeyPath(0), {}, text);
    return text;
}

QStringList KeysOf(const QString& relative) {
    TRegistry reg;
    return reg.OpenKey(RootKeyPath(0) + u'\\' + relative, false) ? reg.GetKeyNames()
                                                                 : QStringList();
}

void MakeKeys(const QString& container, const QStringList& names) {
    TRegistry reg;
    for (const QString& n : names) {
        reg.OpenKey(RootKeyPath(0) + u'\\' + container + u'\\' + n, true);
        reg.WriteString(u"Name"_s, u"Položka "_s + n);
    }
}

QStringList Captions(const TSetupNode* node) {
    QStringList list;
    for (const auto& c : node->Children())
        list << c->Caption;
    return list;
}

} // namespace

class TestSetupTree : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Env = std::make_unique<TTestEnv>();
        TUserPrompt::Install(&Prompt);
        Prompt = TScriptedPrompt();
    }
    void cleanup() {
        TUserPrompt::Install(nullptr);
        Env.reset();
    }

    void emptyStoreBuildsTheTreeAndRunsDefaultsOnce() {
        QByteArray afterFirst;
        {
            TSetupTree tree;
            RegisterSubsystems(tree);
            QList<QByteArray> delivered;
            tree.OperatorSink = [&](const QByteArray& t) { delivered << t; };
            QSignalSpy defaults(&tree, &TSetupTree::DefaultsCreated);
            tree.Start();
            QCOMPARE(defaults.count(), 1);
            // The queue list reaches the operators before they are told to show the windows.
            QVERIFY(delivered.size() >= 2);
            QVERIFY(delivered.first().startsWith("*pX"));
            QCOMPARE(delivered.last(), QByteArray("*pV"));
            QStringList classes;
            for (const auto& n : tree.TopNodes())
                classes << n->ClassName();
            QCOMPARE(classes,
                     QStringList({u"TConnectNode"_s, u"TPrintBoxesNode"_s, u"TButtonsNode"_s,
                                  u"TQueuesNode"_s, u"TCamerasNode"_s}));
            QCOMPARE(tree.PrintBoxesNode->MaxChildren, 8);
            QCOMPARE(tree.CamerasNode->MaxChildren, 1);
            QCOMPARE(tree.ConnectNode->Caption, u"Počítač systému Lobrana"_s);
            QCOMPARE(tree.QueuesNode->KeyPath(), RootKeyPath(0) + u"\\Queues"_s);
            QCOMPARE(tree.QueuesNode->MaxChildren, 8);
            QCOMPARE(tree.ButtonsNode->MaxChildren, 8);
            QVERIFY(tree.Timer().isActive());
            QVERIFY(!tree.ConnectNode->IsEmpty());
            afterFirst = ExportAll();
        }
        TConfigStore::CloseHives();
        {
            TSetupTree tree;
            RegisterSubsystems(tree);
            tree.Start();
        }
        QCOMPARE(ExportAll(), afterFirst);
    }

    void configurationNameGivesItsOwnTree() {
        {
            TSetupTree tree;
            RegisterSubsystems(tree);
            tree.Start();
        }
        SetConfigurationName(u"Druhá"_s);
        TRegistry reg;
        QVERIFY(!reg.KeyExists(RootKeyPath(0)));
        {
            TSetupTree tree;
            RegisterSubsystems(tree);
            QSignalSpy defaults(&tree, &TSetupTree::DefaultsCreated);
            tree.Start();
            QCOMPARE(defaults.count(), 1);
            QCOMPARE(tree.ConnectNode->KeyPath(),
                     u"\\Software\\Vantrel\\Waiting room Druhá\\Connect"_s);
        }
        QVERIFY(reg.OpenKey(RootKeyPath(0) + u"\\Connect"_s, false));
        QVERIFY(reg.ValueExists(u"ComputerType"_s));
    }

    void connectKeyWithoutComputerTypeIsNotConfigured() {
        TRegistry reg;
        QVERIFY(reg.OpenKey(RootKeyPath(0) + u"\\Connect"_s, true));
        reg.WriteInteger(u"Port"_s, 4097);
        TSetupTree tree;
        RegisterSubsystems(tree);
        tree.BuildTree();
        QVERIFY(tree.ConnectNode->IsEmpty());
        QVERIFY(tree.NeedsDefaults());
        tree.CreateDefaults();
        QVERIFY(!tree.ConnectNode->IsEmpty());
        QCOMPARE(reg.ReadInteger(u"Port"_s), 4097);
    }

    void numbering_data() {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("deleted");
        QTest::addColumn<QString>("next");
        QTest::newRow("gap kept") << QStringList{u"001"_s, u"002"_s, u"004"_s} << QString()
                                  << u"005"_s;
        QTest::newRow("highest deleted")
            << QStringList{u"001"_s, u"002"_s, u"004"_s, u"005"_s} << u"005"_s << u"005"_s;
        QTest::newRow("middle deleted")
            << QStringList{u"001"_s, u"002"_s, u"004"_s} << u"002"_s << u"005"_s;
        QTest::newRow("empty") << QStringList{} << QString() << u"001"_s;
        QTest::newRow("foreign key") << QStringList{u"001"_s, u"abc"_s} << QString() << u"002"_s;
    }
    void numbering() {
        QFETCH(QStringList, existing);
        QFETCH(QString, deleted);
        QFETCH(QString, next);
        MakeKeys(u"Boxes"_s, existing);
        TSetupTree tree;
        auto* boxes = TSetupNode::Create<TTestBoxesNode>(&tree, nullptr);
        QCOMPARE(boxes->ChildCount(), existing.size());
        if (!deleted.isEmpty()) {
            TSetupNode* victim = nullptr;
            for (const auto& c : boxes->Children())
                if (c->KeyName == deleted)
                    victim = c.get();
            QVERIFY(tree.DeleteExecute(victim));
            QVERIFY(!KeysOf(u"Boxes"_s).contains(deleted));
        }
        TSetupNode* added = tree.AddExecute(boxes);
        QVERIFY(added);
        QCOMPARE(added->KeyName, next);
        QCOMPARE(added->Caption, u"Položka "_s + next);
        TRegistry reg;
        QVERIFY(reg.OpenKey(added->KeyPath(), false));
        QCOMPARE(reg.ReadString(u"Name"_s), added->Caption);
        QCOMPARE(boxes->Children().back().get(), added);
    }

    void childrenLoadTheirNamesAndValues() {
        MakeKeys(u"Boxes"_s, {u"002"_s, u"001"_s});
        TRegistry reg;
        reg.OpenKey(RootKeyPath(0) + u"\\Boxes\\002"_s, false);
        reg.WriteInteger(u"Value"_s, 7);
        TSetupTree tree;
        auto* boxes = TSetupNode::Create<TTestBoxesNode>(&tree, nullptr);
        QCOMPARE(Captions(boxes), QStringList({u"Položka 001"_s, u"Položka 002"_s}));
        auto* second = static_cast<TTestItemNode*>(boxes->Child(1));
        QCOMPARE(second->Value, 7);
        QCOMPARE(second->Loads, 1);
        QCOMPARE(second->Number(), 2);
        QCOMPARE(second->Mask(), 4);
        QCOMPARE(second->MaskText(), u"004"_s);
        QCOMPARE(second->KeyText(), u"002"_s);
        QCOMPARE(boxes->Number(), -1);
        QCOMPARE(boxes->KeyText(), QString());
    }

    void deleteAsksAndDeclineKeepsEverything() {
        MakeKeys(u"Boxes"_s, {u"001"_s});
        MakeKeys(u"Boxes\\001"_s, {u"Deep"_s});
        TSetupTree tree;
        auto* boxes = TSetupNode::Create<TTestBoxesNode>(&tree, nullptr);
        Prompt.Answer = false;
        QVERIFY(!tree.DeleteExecute(boxes->Child(0)));
        QCOMPARE(Prompt.Asked, QStringList{u"Chcete smazat Položku?"_s});
        QCOMPARE(boxes->ChildCount(), 1);
        QCOMPARE(KeysOf(u"Boxes\\001"_s), QStringList{u"Deep"_s});
        Prompt.Answer = true;
        QVERIFY(tree.DeleteExecute(boxes->Child(0)));
        QCOMPARE(boxes->ChildCount(), 0);
        QCOMPARE(KeysOf(u"Boxes"_s), QStringList());
        QVERIFY(!tree.DeleteExecute(boxes)); // a container without an editor cannot go
    }

    void menuCaptionsAndCapacity() {
        MakeKeys(u"Boxes"_s,
                 {u"001"_s, u"002"_s, u"003"_s, u"004"_s, u"005"_s, u"006"_s, u"007"_s});
        TSetupTree tree;
        RegisterSubsystems(tree);
        tree.BuildTree();
        auto* boxes = TSetupNode::Create<TTestBoxesNode>(&tree, nullptr);
        TSetupNode* item = boxes->Child(0);
        QCOMPARE(boxes->AddCaption(), u"Přidat Položku"_s);
        QCOMPARE(item->AddCaption(), u"Přidat Položku"_s);
        QCOMPARE(item->DeleteCaption(), u"Odstranit Položku"_s);
        QCOMPARE(boxes->DeleteCaption(), u"Odstranit"_s);
        QVERIFY(tree.AddExecute(item)); // a sibling: the eighth
        QVERIFY(!item->CanAdd());
        QCOMPARE(item->AddCaption(), u"Přidat"_s);
        QVERIFY(!tree.AddExecute(boxes));
        QCOMPARE(boxes->ChildCount(), 8);
        QVERIFY(!tree.QueuesNode->CanDelete());
        QCOMPARE(tree.QueuesNode->DeleteCaption(), u"Odstranit"_s);
        QVERIFY(!tree.ConnectNode->CanAdd());
        QVERIFY(!tree.ConnectNode->CanDelete());
    }

    void renameAsksForAFullRefresh() {
        MakeKeys(u"Boxes"_s, {u"001"_s});
        TSetupTree tree;
        QList<QByteArray> sent;
        tree.EngineSink = [&](const QByteArray& t) { sent << t; };
        auto* boxes = TSetupNode::Create<TTestBoxesNode>(&tree, nullptr);
        boxes->Child(0)->Rename(u"Ordinace"_s);
        QCOMPARE(boxes->Child(0)->Caption, u"Ordinace"_s);
        QCOMPARE(sent, QList<QByteArray>{"*pX"});
        boxes->Rename(u"Nic"_s); // not editable: nothing happens
        QCOMPARE(boxes->Caption, u"Krabice"_s);
        QCOMPARE(sent.size(), 1);
    }

    void stationKeepsOnlyTheConnectNode() {
        TRegistry reg;
        QVERIFY(reg.OpenKey(RootKeyPath(0) + u"\\Connect"_s, true));
        reg.WriteInteger(u"ComputerType"_s, 2);
        MakeKeys(u"Queues"_s, {u"001"_s});
        TSetupTree tree;
        RegisterSubsystems(tree);
        QSignalSpy defaults(&tree, &TSetupTree::DefaultsCreated);
        QList<QByteArray> sent;
        tree.EngineSink = [&](const QByteArray& t) { sent << t; };
        tree.Start();
        QCOMPARE(defaults.count(), 0);
        QCOMPARE(sent, QList<QByteArray>());
        QCOMPARE(int(tree.TopNodes().size()), 1);
        QVERIFY(!tree.QueuesNode);
        // Stand-alone again: the four nodes come back from the store; station again: they go,
        // their keys stay.
        tree.ConnectNode->SetComputerType(0);
        QCOMPARE(int(tree.TopNodes().size()), 5);
        QVERIFY(tree.QueuesNode);
        tree.ConnectNode->SetComputerType(2);
        QCOMPARE(int(tree.TopNodes().size()), 1);
        QVERIFY(!tree.ButtonsNode && !tree.QueuesNode && !tree.CamerasNode);
        QCOMPARE(KeysOf(u"Queues"_s), QStringList{u"001"_s});
    }

    void timerTicksTopNodesExceptButtons() {
        TSetupTree tree;
        RegisterSubsystems(tree);
        tree.Start();
        for (int i = 0; i < 3; ++i)
            tree.OnTimer();
        QCOMPARE(tree.ConnectNode->Ticks, 3);
        QCOMPARE(tree.QueuesNode->Ticks, 3);
        QCOMPARE(tree.CamerasNode->Ticks, 3);
        QCOMPARE(tree.ButtonsNode->Ticks, 0);
        tree.Shutdown();
        QVERIFY(!tree.Timer().isActive());
    }

private:
    std::unique_ptr<TTestEnv> Env;
    TScriptedPrompt Prompt;
};

QTEST_GUILESS_MAIN(TestSetupTree)
#include "tst_setuptree.moc"
