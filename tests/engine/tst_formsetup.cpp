#include "support/testenv.h"
#include "support/testnodes.h"

#include "app/wiring.h"
#include "engine/connectnode.h"
#include "engine/editors/formsetup.h"
#include "engine/editors/setupframe.h"
#include "engine/editors/setuptreemodel.h"
#include "engine/queuesnode.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

using namespace Qt::StringLiterals;

class TestFormSetup : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Env = std::make_unique<TTestEnv>();
        Prompt = TScriptedPrompt();
        TUserPrompt::Install(&Prompt);
        Tree = std::make_unique<TSetupTree>();
        RegisterSubsystems(*Tree);
        Tree->EngineSink = [this](const QByteArray& t) { Sent << t; };
        Form = std::make_unique<TFormSetup>(Tree.get());
        Tester = std::make_unique<QAbstractItemModelTester>(
            Form->Model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        Form->Loaded();
        Boxes = TSetupNode::Create<TTestBoxesNode>(Tree.get(), nullptr);
    }
    void cleanup() {
        Tester.reset();
        Form.reset();
        Tree.reset();
        Sent.clear();
        TUserPrompt::Install(nullptr);
        Env.reset();
    }

    void startsOnTheConnectNode() {
        QVERIFY(Form->windowTitle().startsWith(u"Nastavení 1."_s));
        QCOMPARE(Form->SelectedNode(), static_cast<TSetupNode*>(Tree->ConnectNode));
        QCOMPARE(Form->Zahlavi->text(), u" Nastavení propojení počítačů"_s);
        QVERIFY(!Form->SaveBtn->isHidden());
        QCOMPARE(Form->Model->rowCount(), int(Tree->TopNodes().size()));
        Form->SelectNode(Boxes);
        QCOMPARE(Form->Zahlavi->text(), u" "_s);
        QVERIFY(Form->SaveBtn->isHidden());
        QVERIFY(!Form->Editor);
    }

    void addRenameAndDeleteThroughTheWindow() {
        Form->SelectNode(Boxes);
        Form->TreeViewContextPopup();
        QCOMPARE(Form->Add->text(), u"Přidat Položku"_s);
        QVERIFY(Form->Add->isEnabled());
        QCOMPARE(Form->Delete->text(), u"Odstranit"_s);
        QVERIFY(!Form->Delete->isEnabled());
        Form->Add->trigger();
        TSetupNode* item = Boxes->Child(0);
        QVERIFY(item);
        QCOMPARE(Form->SelectedNode(), item);
        auto* page = qobject_cast<TSetupName*>(Form->Editor);
        QVERIFY(page);
        QCOMPARE(page->Jmeno->text(), u"Položka 001"_s);
        QCOMPARE(Form->Zahlavi->text(), u" Nastavení položky"_s);

        page->Jmeno->setText(u"Čekárna"_s);
        QTest::mouseClick(Form->SaveBtn, Qt::LeftButton);
        QCOMPARE(item->Caption, u"Čekárna"_s);
        QCOMPARE(Form->Model->data(Form->Model->IndexOf(item)).toString(), u"Čekárna"_s);
        QVERIFY(Sent.contains("*pX"));
        TRegistry reg;
        QVERIFY(reg.OpenKey(item->KeyPath(), false));
        QCOMPARE(reg.ReadString(u"Name"_s), u"Čekárna"_s);
        QCOMPARE(Form->ComboBox->itemText(0), u"Čekárna"_s);

        Form->TreeViewContextPopup();
        QCOMPARE(Form->Delete->text(), u"Odstranit Položku"_s);
        Prompt.Answer = true;
        Form->Delete->trigger();
        QCOMPARE(Boxes->ChildCount(), 0);
        QVERIFY(!Form->Editor);
        QCOMPARE(Form->ComboBox->findText(u"Čekárna"_s), -1);
        QVERIFY(!reg.KeyExists(RootKeyPath(0) + u"\\Boxes\\001"_s));
    }

    void visitedNodesListNewestFirst() {
        TSetupNode* a = Tree->AddExecute(Boxes);
        TSetupNode* b = Tree->AddExecute(Boxes);
        Form->SelectNode(a);
        Form->SelectNode(b);
        Form->SelectNode(a);
        QCOMPARE(Form->ComboBox->itemText(0), a->Caption);
        QCOMPARE(Form->ComboBox->itemText(1), b->Caption);
        QCOMPARE(Form->ComboBox->count(), 3); // with the connect node
        Form->ComboBoxChange(1);
        QCOMPARE(Form->SelectedNode(), b);
    }

    void engineRemovalKeepsAnUnrelatedPage() {
        Form->SelectNode(Tree->ConnectNode);
        TSetupFrame* page = Form->Editor;
        Tree->ApplyStationShape(true);
        QCOMPARE(Form->Editor, page);
        Tree->ApplyStationShape(false);
        QVERIFY(Tree->QueuesNode);
    }

    void screenshot() {
        Tree->AddExecute(Boxes);
        Form->TreeView->expandAll();
        Form->SelectNode(Boxes->Child(0));
        Form->resize(900, 560);
        Form->show();
        QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
        QString dir = QString::fromLocal8Bit(qgetenv("LOBRANA_BUILD_DIR"));
        if (dir.isEmpty())
            dir = QDir::tempPath();
        QDir().mkpath(dir + u"/artifacts"_s);
        QVERIFY(Form->grab().save(dir + u"/artifacts/setup-window.png"_s));
    }

private:
    std::unique_ptr<TTestEnv> Env;
    TScriptedPrompt Prompt;
    std::unique_ptr<TSetupTree> Tree;
    std::unique_ptr<TFormSetup> Form;
    std::unique_ptr<QAbstractItemModelTester> Tester;
    TSetupNode* Boxes = nullptr;
    QList<QByteArray> Sent;
};

QTEST_MAIN(TestFormSetup)
#include "tst_formsetup.moc"
