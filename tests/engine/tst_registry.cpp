#include "support/testenv.h"

#include "engine/registry.h"
#include "engine/regtext.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestRegistry : public QObject {
    Q_OBJECT
private slots:
    void init() { Env = std::make_unique<TTestEnv>(); }
    void cleanup() { Env.reset(); }

    void valuesKeepTheirTypes() {
        TRegistry reg;
        QVERIFY(reg.OpenKey(u"\\Software\\Test\\Příliš žluťoučký"_s, true));
        QVERIFY(reg.WriteInteger(u"Count Out"_s, -5));
        QVERIFY(reg.WriteString(u"Name"_s, u"K lékaři"_s));
        QVERIFY(reg.WriteBool(u"Blink"_s, true));
        QVERIFY(reg.WriteDateTime(u"Day"_s, 46000.25));
        QVERIFY(reg.WriteBinaryData(u"Block"_s, QByteArray("\x00\x01\xff", 3)));
        TConfigStore::CloseHives();

        TRegistry again;
        QVERIFY(again.OpenKey(u"/software/test/PŘÍLIŠ ŽLUŤOUČKÝ"_s, false));
        QCOMPARE(again.ReadInteger(u"count out"_s), -5);
        QCOMPARE(again.ReadString(u"NAME"_s), u"K lékaři"_s);
        QCOMPARE(again.ReadBool(u"Blink"_s), true);
        QCOMPARE(again.ReadDateTime(u"Day"_s), 46000.25);
        QCOMPARE(again.ReadBinaryData(u"Block"_s), QByteArray("\x00\x01\xff", 3));
        QCOMPARE(again.GetDataType(u"Day"_s), TValueType::DateTime);
        // Names keep the case they were written with, in name order.
        QCOMPARE(again.GetValueNames(),
                 QStringList({u"Blink"_s, u"Block"_s, u"Count Out"_s, u"Day"_s, u"Name"_s}));
        QCOMPARE(again.CurrentPath(), u"\\software\\test\\PŘÍLIŠ ŽLUŤOUČKÝ"_s);
    }

    void missingValuesKeepDefaults() {
        TRegistry reg;
        QVERIFY(reg.OpenKey(u"\\A"_s, true));
        reg.WriteString(u"Text"_s, u"7"_s);
        QCOMPARE(reg.ReadInteger(u"Missing"_s, 42), 42);
        QCOMPARE(reg.ReadInteger(u"Text"_s, 3), 3); // a value of another type is not converted
        QCOMPARE(reg.ReadString(u"Missing"_s, u"x"_s), u"x"_s);
        QCOMPARE(reg.ReadBool(u"Missing"_s, true), true);
        QVERIFY(!reg.ValueExists(u"Missing"_s));
        QVERIFY(!reg.DeleteValue(u"Missing"_s));
        TRegistry closed;
        QVERIFY(!closed.OpenKey(u"\\No\\Such\\Key"_s, false));
        QCOMPARE(closed.ReadInteger(u"x"_s, 9), 9);
        QVERIFY(!closed.WriteInteger(u"x"_s, 1));
        QVERIFY(!closed.KeyExists(u"\\No"_s));
    }

    void subkeysInNameOrderAndDeletedWithSubtree() {
        TRegistry reg;
        for (const char* name : {"010", "002", "Time Table", "001", "b"})
            QVERIFY(reg.CreateKey(u"\\Q\\"_s + QString::fromLatin1(name) + u"\\Deep\\Deeper"_s));
        QVERIFY(reg.OpenKey(u"\\Q\\002\\Deep"_s, false));
        reg.WriteInteger(u"v"_s, 1);
        QVERIFY(reg.OpenKey(u"\\Q"_s, false));
        QCOMPARE(reg.GetKeyNames(),
                 QStringList({u"001"_s, u"002"_s, u"010"_s, u"b"_s, u"Time Table"_s}));
        QVERIFY(!reg.CreateKey(u"\\q\\B"_s) || reg.GetKeyNames().size() == 5);
        QVERIFY(reg.DeleteKey(u"\\Q\\002"_s));
        QVERIFY(!reg.KeyExists(u"\\Q\\002\\Deep"_s));
        QVERIFY(reg.CreateKey(u"\\Q\\002\\Deep"_s));
        QVERIFY(reg.OpenKey(u"\\Q\\002\\Deep"_s, false));
        QVERIFY(!reg.ValueExists(u"v"_s)); // nothing of the old subtree came back
    }

    void clearSubkeysAndValues() {
        TRegistry reg;
        QVERIFY(reg.OpenKey(u"\\T\\000"_s, true));
        reg.WriteInteger(u"DayOfWeek"_s, 1);
        QVERIFY(reg.OpenKey(u"\\T\\001"_s, true));
        reg.WriteInteger(u"DayOfWeek"_s, 2);
        QVERIFY(reg.OpenKey(u"\\T"_s, false));
        reg.WriteInteger(u"Kept"_s, 1);
        ClearSubkeys(reg);
        QCOMPARE(reg.GetKeyNames(), QStringList());
        QCOMPARE(reg.ReadInteger(u"Kept"_s), 1);
        ClearValues(u"\\T"_s);
        QCOMPARE(reg.GetValueNames(), QStringList());
        ClearValues(u"\\Missing"_s); // harmless
    }

    // Two processes share one file: each sees the other's changes, and a key deleted by one
    // is created again when the other writes into it.
    void twoConnectionsShareOneFile() {
        QString file = Env->Path() + u"/shared.db"_s;
        TConfigStore a(file), b(file);
        TRegistry ra(a), rb(b);
        QVERIFY(ra.OpenKey(u"\\K\\Sub"_s, true));
        QVERIFY(ra.WriteInteger(u"v"_s, 1));
        QVERIFY(rb.OpenKey(u"\\K\\Sub"_s, false));
        QCOMPARE(rb.ReadInteger(u"v"_s), 1);
        QVERIFY(ra.DeleteKey(u"\\K"_s));
        QCOMPARE(rb.ReadInteger(u"v"_s, -1), -1);
        QVERIFY(!rb.KeyExists(u"\\K\\Sub"_s));
        QVERIFY(rb.WriteInteger(u"w"_s, 2));
        TRegistry check(a);
        QVERIFY(check.OpenKey(u"\\K\\Sub"_s, false));
        QCOMPARE(check.ReadInteger(u"w"_s), 2);
    }

    // Nested transactions undo only their own part; a batch keeps what succeeded.
    void transactionsNest() {
        TConfigStore& store = TConfigStore::Hive(THive::Machine);
        TRegistry reg(store);
        store.BeginBatch();
        QVERIFY(reg.OpenKey(u"\\N"_s, true));
        reg.WriteInteger(u"kept"_s, 1);
        QVERIFY(store.Begin());
        reg.WriteInteger(u"undone"_s, 2);
        QVERIFY(reg.CreateKey(u"\\N\\Undone"_s));
        store.Rollback();
        QVERIFY(store.Begin());
        reg.WriteInteger(u"committed"_s, 3);
        QVERIFY(store.Commit());
        store.EndBatch();
        TConfigStore other(store.FileName());
        TRegistry check(other);
        QVERIFY(check.OpenKey(u"\\N"_s, false));
        QCOMPARE(check.GetValueNames(), QStringList({u"committed"_s, u"kept"_s}));
        QCOMPARE(check.GetKeyNames(), QStringList());
    }

    void textFormRoundTrip() {
        TConfigStore& store = TConfigStore::Hive(THive::Machine);
        TRegistry reg(store);
        QVERIFY(reg.OpenKey(u"\\Root\\Queues\\002\\Statistics"_s, true));
        reg.WriteInteger(u"Sum Square"_s, 123456);
        reg.WriteString(u"Poznámka"_s, u"Řádek 1\n\"uvozovky\" \\ tab\t\x01 konec"_s);
        reg.WriteDateTime(u"When"_s, 46365.123456789012);
        reg.WriteBinaryData(u"Empty"_s, {});
        reg.WriteBool(u"Off"_s, false);
        QVERIFY(reg.CreateKey(u"\\Root\\Queues\\Empty key"_s));
        QByteArray first;
        QVERIFY(RegText::Export(store, u"\\Root"_s, u"Queues"_s, first));
        QVERIFY(reg.DeleteKey(u"\\Root\\Queues"_s));
        QString error;
        QVERIFY2(RegText::Import(store, u"\\Root"_s, first, &error), qPrintable(error));
        QByteArray second;
        QVERIFY(RegText::Export(store, u"\\Root"_s, u"Queues"_s, second));
        QCOMPARE(second, first);
        QVERIFY(reg.OpenKey(u"\\Root\\Queues\\002\\Statistics"_s, false));
        QCOMPARE(reg.ReadDateTime(u"When"_s), 46365.123456789012);
        QCOMPARE(reg.ReadString(u"poznámka"_s), u"Řádek 1\n\"uvozovky\" \\ tab\t\x01 konec"_s);
    }

    void malformedTextChangesNothing_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("value before key") << QByteArray("\"a\"=int:1\n");
        QTest::newRow("bad int") << QByteArray("[Queues]\n\"a\"=int:x\n");
        QTest::newRow("bad hex") << QByteArray("[Queues]\n\"a\"=binary:0g\n");
        QTest::newRow("open quote") << QByteArray("[Queues]\n\"a=text:\"b\"\n");
        QTest::newRow("unknown type") << QByteArray("[Queues]\n\"a\"=float:1\n");
        QTest::newRow("no key at all") << QByteArray("; nothing\n");
        QTest::newRow("unclosed key") << QByteArray("[Queues\n");
    }
    void malformedTextChangesNothing() {
        QFETCH(QByteArray, text);
        TConfigStore& store = TConfigStore::Hive(THive::Machine);
        TRegistry reg(store);
        QVERIFY(reg.OpenKey(u"\\Root\\Queues"_s, true));
        reg.WriteInteger(u"kept"_s, 7);
        QString error;
        QVERIFY(!RegText::Import(store, u"\\Root"_s, text, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(reg.OpenKey(u"\\Root\\Queues"_s, false));
        QCOMPARE(reg.ReadInteger(u"kept"_s), 7);
    }

private:
    std::unique_ptr<TTestEnv> Env;
};

QTEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"
