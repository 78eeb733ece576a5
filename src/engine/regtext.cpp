#include "engine/regtext.h"

#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace RegText {

QString Quote(const QString& text) {
    QString out = u"\""_s;
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'"':
            out += u"\\\""_s;
            break;
        case u'\\':
            out += u"\\\\"_s;
            break;
        case u'\n':
            out += u"\\n"_s;
            break;
        case u'\r':
            out += u"\\r"_s;
            break;
        case u'\t':
            out += u"\\t"_s;
            break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                out += u"\\x%1"_s.arg(c.unicode(), 2, 16, QChar(u'0'));
            else
                out += c;
        }
    }
    return out + u'"';
}

bool Unquote(const QString& line, qsizetype& pos, QString& out) {
    out.clear();
    if (pos >= line.size() || line[pos] != u'"')
        return false;
    for (++pos; pos < line.size(); ++pos) {
        QChar c = line[pos];
        if (c == u'"') {
            ++pos;
            return true;
        }
        if (c != u'\\') {
            out += c;
            continue;
        }
        if (++pos >= line.size())
            return false;
        switch (line[pos].unicode()) {
        case u'n':
            out += u'\n';
            break;
        case u'r':
            out += u'\r';
            break;
        case u't':
            out += u'\t';
            break;
        case u'"':
            out += u'"';
            break;
        case u'\\':
            out += u'\\';
            break;
        case u'x': {
            bool ok = false;
            uint code = line.mid(pos + 1, 2).toUInt(&ok, 16);
            if (!ok || pos + 2 >= line.size())
                return false;
            out += QChar(char16_t(code));
            pos += 2;
            break;
        }
        default:
            return false;
        }
    }
    return false;
}

QString TypeName(TValueType type) {
    switch (type) {
    case TValueType::Integer:
        return u"int"_s;
    case TValueType::Text:
        return u"text"_s;
    case TValueType::Bool:
        return u"bool"_s;
    case TValueType::DateTime:
        return u"datetime"_s;
    case TValueType::Binary:
        return u"binary"_s;
    case TValueType::None:
        break;
    }
    return {};
}

QString DataText(const TRegValue& v, bool quoteText) {
    switch (v.Type) {
    case TValueType::Integer:
        return QString::number(v.Data.toInt());
    case TValueType::Bool:
        return v.Data.toBool() ? u"1"_s : u"0"_s;
    case TValueType::DateTime:
        return QString::number(v.Data.toDouble(), 'g', 17);
    case TValueType::Text:
        return quoteText ? Quote(v.Data.toString()) : v.Data.toString();
    case TValueType::Binary:
        return QString::fromLatin1(v.Data.toByteArray().toHex());
    case TValueType::None:
        break;
    }
    return {};
}

bool ParseData(const QString& type, const QString& data, bool quotedText, TRegValue& v) {
    bool ok = true;
    if (type == u"int"_s) {
        v.Type = TValueType::Integer;
        v.Data = QVariant(qint32(data.toInt(&ok)));
    } else if (type == u"bool"_s) {
        v.Type = TValueType::Bool;
        ok = data == u"0"_s || data == u"1"_s;
        v.Data = QVariant(data == u"1"_s);
    } else if (type == u"datetime"_s) {
        v.Type = TValueType::DateTime;
        v.Data = QVariant(data.toDouble(&ok));
    } else if (type == u"text"_s) {
        v.Type = TValueType::Text;
        QString text = data;
        if (quotedText) {
            qsizetype p = 0;
            ok = Unquote(data, p, text) && p == data.size();
        }
        v.Data = QVariant(text);
    } else if (type == u"binary"_s) {
        v.Type = TValueType::Binary;
        QByteArray hex = data.toLatin1();
        ok = hex.size() % 2 == 0 &&
             std::all_of(hex.begin(), hex.end(), [](char c) { return isxdigit(uchar(c)); });
        v.Data = QVariant(QByteArray::fromHex(hex));
    } else {
        return false;
    }
    return ok;
}

namespace {

void ExportKey(TConfigStore& store, const QString& absolute, const QString& relative,
               QString& out) {
    qint64 id = store.FindKey(absolute);
    if (id == 0)
        return;
    out += u'[' + relative + u"]\n"_s;
    for (const TRegValue& v : store.Values(id)) {
        out += Quote(v.Name) + u'=' + TypeName(v.Type) + u':' + DataText(v, true);
        out += u'\n';
    }
    for (const QString& sub : store.SubkeyNames(id))
        ExportKey(store, absolute + u'\\' + sub, relative.isEmpty() ? sub : relative + u'\\' + sub,
                  out);
}

QString Join(const QString& root, const QString& relative) {
    QStringList parts = TConfigStore::SplitPath(root) + TConfigStore::SplitPath(relative);
    return u'\\' + parts.join(u'\\');
}

struct Parsed {
    QString Key;
    QList<TRegValue> Values;
};

bool ParseValue(const QString& line, TRegValue& v, QString* error) {
    qsizetype pos = 0;
    if (!Unquote(line, pos, v.Name)) {
        *error = u"malformed value name"_s;
        return false;
    }
    if (pos >= line.size() || line[pos] != u'=') {
        *error = u"'=' expected after the value name"_s;
        return false;
    }
    qsizetype colon = line.indexOf(u':', pos);
    if (colon < 0) {
        *error = u"value type expected"_s;
        return false;
    }
    QString type = line.mid(pos + 1, colon - pos - 1);
    if (type != u"int"_s && type != u"bool"_s && type != u"datetime"_s && type != u"text"_s &&
        type != u"binary"_s) {
        *error = u"unknown value type '%1'"_s.arg(type);
        return false;
    }
    if (!ParseData(type, line.mid(colon + 1), true, v)) {
        *error = u"malformed %1 data"_s.arg(type);
        return false;
    }
    return true;
}

} // namespace

bool Export(TConfigStore& store, const QString& root, const QString& relative, QByteArray& out) {
    QString absolute = Join(root, relative);
    if (store.FindKey(absolute) == 0)
        return false;
    QString text = u"; Lobrana configuration\n"_s;
    ExportKey(store, absolute, TConfigStore::SplitPath(relative).join(u'\\'), text);
    out = text.toUtf8();
    return true;
}

bool Import(TConfigStore& store, const QString& root, const QByteArray& text, QString* error) {
    QString dummy;
    if (!error)
        error = &dummy;
    QList<Parsed> keys;
    const QStringList lines = QString::fromUtf8(text).split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']')) {
                *error = u"line %1: ']' expected"_s.arg(i + 1);
                return false;
            }
            keys.append({line.mid(1, line.size() - 2), {}});
            continue;
        }
        if (keys.isEmpty()) {
            *error = u"line %1: a value before the first key"_s.arg(i + 1);
            return false;
        }
        TRegValue v;
        if (!ParseValue(line, v, error)) {
            *error = u"line %1: %2"_s.arg(i + 1).arg(*error);
            return false;
        }
        keys.last().Values.append(v);
    }
    if (keys.isEmpty()) {
        *error = u"no key in the text"_s;
        return false;
    }
    QString top = Join(root, keys.first().Key);
    if (!store.Begin()) {
        *error = u"the configuration store cannot be written"_s;
        return false;
    }
    if (TConfigStore::SplitPath(keys.first().Key).isEmpty()) {
        // The whole configuration: clear it below the root instead of deleting the root.
        qint64 id = store.FindKey(top);
        if (id) {
            for (const QString& sub : store.SubkeyNames(id))
                store.DeleteKey(top + u'\\' + sub);
            store.DeleteAllValues(id);
        }
    } else {
        store.DeleteKey(top);
    }
    for (const Parsed& k : keys) {
        qint64 id = store.CreateKey(Join(root, k.Key));
        if (id == 0) {
            store.Rollback();
            *error = u"cannot create key %1"_s.arg(k.Key);
            return false;
        }
        for (const TRegValue& v : k.Values)
            if (!store.WriteValue(id, v.Name, v.Type, v.Data)) {
                store.Rollback();
                *error = u"cannot write value %1"_s.arg(v.Name);
                return false;
            }
    }
    if (!store.Commit()) {
        *error = u"the configuration store refused the change"_s;
        return false;
    }
    return true;
}

} // namespace RegText
