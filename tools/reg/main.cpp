// lobrana-reg: reads and writes the configuration store from the command line.

#include "engine/helpers.h"
#include "engine/registry.h"
#include "engine/regtext.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

const char* const kUsage =
    "usage: lobrana-reg [--user] [--config NAME] COMMAND ...\n"
    "  list KEY                 subkey names of KEY\n"
    "  values KEY               name, type and data of every value of KEY\n"
    "  get KEY VALUE            the data of one value (status 1 when missing)\n"
    "  set KEY VALUE (--int N | --text S | --bool 0|1 | --datetime D | --binary HEX)\n"
    "  delete KEY [VALUE]       a value, or the key with its subtree\n"
    "  export KEY               KEY and everything below it, as text on standard output\n"
    "  import                   restore an exported text from standard input\n"
    "KEY is relative to the configuration's root, with '\\' or '/' between names.\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

void Print(const QString& text) {
    QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

QString Absolute(const QString& key) {
    QStringList parts = TConfigStore::SplitPath(RootKeyPath(0)) + TConfigStore::SplitPath(key);
    return u'\\' + parts.join(u'\\');
}

int Fail(const QString& message) {
    std::fputs(("lobrana-reg: " + message.toUtf8() + "\n").constData(), stderr);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    THive hive = THive::Machine;
    while (!args.isEmpty() && args.first().startsWith(u"--"_s)) {
        QString opt = args.takeFirst();
        if (opt == u"--user"_s) {
            hive = THive::User;
        } else if (opt == u"--config"_s && !args.isEmpty()) {
            SetConfigurationName(args.takeFirst());
        } else if (opt == u"--help"_s) {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            return Usage();
        }
    }
    if (args.isEmpty())
        return Usage();
    const QString command = args.takeFirst();
    TConfigStore& store = TConfigStore::Hive(hive);
    if (!store.IsOpen())
        return Fail(u"cannot open %1"_s.arg(store.FileName()));

    if (command == u"list"_s && args.size() == 1) {
        qint64 id = store.FindKey(Absolute(args[0]));
        if (!id)
            return Fail(u"no key %1"_s.arg(args[0]));
        for (const QString& name : store.SubkeyNames(id))
            Print(name + u'\n');
        return 0;
    }
    if (command == u"values"_s && args.size() == 1) {
        qint64 id = store.FindKey(Absolute(args[0]));
        if (!id)
            return Fail(u"no key %1"_s.arg(args[0]));
        for (const TRegValue& v : store.Values(id))
            Print(v.Name + u'\t' + RegText::TypeName(v.Type) + u'\t' + RegText::DataText(v, false) +
                  u'\n');
        return 0;
    }
    if (command == u"get"_s && args.size() == 2) {
        TRegValue v;
        if (!store.ReadValue(store.FindKey(Absolute(args[0])), args[1], v))
            return 1;
        Print(RegText::DataText(v, false) + u'\n');
        return 0;
    }
    if (command == u"set"_s && args.size() == 4) {
        if (!args[2].startsWith(u"--"_s))
            return Usage();
        TRegValue v;
        if (!RegText::ParseData(args[2].mid(2), args[3], false, v))
            return Usage();
        qint64 id = store.CreateKey(Absolute(args[0]));
        if (!id || !store.WriteValue(id, args[1], v.Type, v.Data))
            return Fail(u"cannot write %1"_s.arg(args[1]));
        return 0;
    }
    if (command == u"delete"_s && (args.size() == 1 || args.size() == 2)) {
        QString key = Absolute(args[0]);
        if (args.size() == 2)
            return store.DeleteValue(store.FindKey(key), args[1]) ? 0 : 1;
        if (TConfigStore::SplitPath(args[0]).isEmpty()) {
            // The root itself: empty it.
            qint64 id = store.FindKey(key);
            if (!id)
                return 1;
            store.Begin();
            for (const QString& sub : store.SubkeyNames(id))
                store.DeleteKey(key + u'\\' + sub);
            store.DeleteAllValues(id);
            return store.Commit() ? 0 : 1;
        }
        return store.DeleteKey(key) ? 0 : 1;
    }
    if (command == u"export"_s && args.size() == 1) {
        QByteArray out;
        if (!RegText::Export(store, RootKeyPath(0), args[0], out))
            return Fail(u"no key %1"_s.arg(args[0]));
        std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
        return 0;
    }
    if (command == u"import"_s && args.isEmpty()) {
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly))
            return Fail(u"cannot read standard input"_s);
        QString error;
        if (!RegText::Import(store, RootKeyPath(0), in.readAll(), &error))
            return Fail(u"import refused: %1"_s.arg(error));
        return 0;
    }
    return Usage();
}
