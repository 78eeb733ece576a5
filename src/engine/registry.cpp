#include "engine/registry.h"

#include "engine/helpers.h"

#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

#include <map>

using namespace Qt::StringLiterals;

namespace {

enum Slot {
    sFindChild,
    sInsertKey,
    sSubkeys,
    sReadValue,
    sWriteValue,
    sDeleteValue,
    sDeleteValues,
    sValues,
    sDataVersion,
    sKeyName,
    sDeleteKey,
    sKeyExists,
};

constexpr qint64 kRootId = 1;

const char* const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS keys(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    parent INTEGER REFERENCES keys(id) ON DELETE CASCADE,
    name TEXT NOT NULL,
    fold BLOB NOT NULL);
CREATE UNIQUE INDEX IF NOT EXISTS keys_by_parent ON keys(parent, fold);
CREATE TABLE IF NOT EXISTS vals(
    key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,
    fold BLOB NOT NULL,
    name TEXT NOT NULL,
    type INTEGER NOT NULL,
    data,
    PRIMARY KEY(key, fold)) WITHOUT ROWID;
INSERT OR IGNORE INTO keys(id, parent, name, fold) VALUES(1, NULL, '', x'');
)sql";

struct Reset {
    sqlite3_stmt* S;
    ~Reset() {
        if (S) {
            sqlite3_reset(S);
            sqlite3_clear_bindings(S);
        }
    }
};

void BindText(sqlite3_stmt* s, int i, const QByteArray& utf8) {
    sqlite3_bind_text(s, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void BindBlob(sqlite3_stmt* s, int i, const QByteArray& bytes) {
    sqlite3_bind_blob(s, i, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
}

QString ColumnText(sqlite3_stmt* s, int i) {
    auto p = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
    return QString::fromUtf8(p, sqlite3_column_bytes(s, i));
}

QByteArray ColumnBlob(sqlite3_stmt* s, int i) {
    auto p = static_cast<const char*>(sqlite3_column_blob(s, i));
    return QByteArray(p, sqlite3_column_bytes(s, i));
}

QVariant ColumnData(sqlite3_stmt* s, int i, TValueType type) {
    switch (type) {
    case TValueType::Integer:
        return QVariant(qint32(sqlite3_column_int64(s, i)));
    case TValueType::Bool:
        return QVariant(sqlite3_column_int64(s, i) != 0);
    case TValueType::DateTime:
        return QVariant(sqlite3_column_double(s, i));
    case TValueType::Text:
        return QVariant(ColumnText(s, i));
    case TValueType::Binary:
        return QVariant(ColumnBlob(s, i));
    case TValueType::None:
        break;
    }
    return {};
}

std::map<THive, std::unique_ptr<TConfigStore>>& Hives() {
    static std::map<THive, std::unique_ptr<TConfigStore>> hives;
    return hives;
}

} // namespace

TConfigStore::TConfigStore(const QString& fileName) : Path(fileName) {
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    sqlite3* db = nullptr;
    int rc =
        sqlite3_open_v2(fileName.toUtf8().constData(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close(db);
        return;
    }
    Db = db;
    sqlite3_busy_timeout(Db, 10000);
    Exec("PRAGMA journal_mode=WAL");
    Exec("PRAGMA synchronous=FULL");
    Exec("PRAGMA foreign_keys=ON");
    if (!Exec(kSchema)) {
        sqlite3_close(Db);
        Db = nullptr;
    }
}

TConfigStore::~TConfigStore() {
    for (auto*& s : Stmts) {
        sqlite3_finalize(s);
        s = nullptr;
    }
    if (Db)
        sqlite3_close(Db);
}

QString TConfigStore::HiveFileName(THive hive) {
    if (hive == THive::User)
        return UserConfigFolder() + u"/user.db"_s;
    return ProgramFolder() + u"/registry.db"_s;
}

TConfigStore& TConfigStore::Hive(THive hive) {
    auto& hives = Hives();
    QString file = HiveFileName(hive);
    auto it = hives.find(hive);
    if (it == hives.end() || it->second->FileName() != file) {
        hives[hive] = std::make_unique<TConfigStore>(file);
        return *hives[hive];
    }
    return *it->second;
}

void TConfigStore::CloseHives() {
    Hives().clear();
}

bool TConfigStore::Exec(const char* sql) {
    if (!Db)
        return false;
    return sqlite3_exec(Db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

sqlite3_stmt* TConfigStore::Prepare(int slot, const char* sql) {
    if (!Db)
        return nullptr;
    if (!Stmts[slot] && sqlite3_prepare_v3(Db, sql, -1, SQLITE_PREPARE_PERSISTENT, &Stmts[slot],
                                           nullptr) != SQLITE_OK) {
        Stmts[slot] = nullptr;
    }
    return Stmts[slot];
}

QStringList TConfigStore::SplitPath(const QString& path) {
    QString p = path;
    p.replace(u'/', u'\\');
    return p.split(u'\\', Qt::SkipEmptyParts);
}

QByteArray TConfigStore::Fold(const QString& name) {
    bool ascii = true;
    for (QChar c : name)
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return name.toLatin1().toLower();
    return name.toCaseFolded().toUtf8();
}

void TConfigStore::CheckForeignChanges() {
    sqlite3_stmt* s = Prepare(sDataVersion, "PRAGMA data_version");
    if (!s)
        return;
    Reset r{s};
    if (sqlite3_step(s) == SQLITE_ROW) {
        qint64 version = sqlite3_column_int64(s, 0);
        if (version != DataVersion) {
            KeyCache.clear();
            DataVersion = version;
        }
    }
}

qint64 TConfigStore::ChildKey(qint64 parent, const QString& name) {
    sqlite3_stmt* s = Prepare(sFindChild, "SELECT id FROM keys WHERE parent=?1 AND fold=?2");
    if (!s)
        return 0;
    Reset r{s};
    sqlite3_bind_int64(s, 1, parent);
    BindBlob(s, 2, Fold(name));
    return sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : 0;
}

qint64 TConfigStore::FindKey(const QString& path) {
    if (!Db)
        return 0;
    CheckForeignChanges();
    const QStringList parts = SplitPath(path);
    QByteArray folded;
    for (const QString& p : parts)
        folded += '\\' + Fold(p);
    if (auto it = KeyCache.constFind(folded); it != KeyCache.constEnd())
        return it.value();
    qint64 id = kRootId;
    for (const QString& p : parts) {
        id = ChildKey(id, p);
        if (id == 0)
            return 0;
    }
    KeyCache.insert(folded, id);
    return id;
}

qint64 TConfigStore::CreateKey(const QString& path) {
    if (!Db)
        return 0;
    if (qint64 id = FindKey(path))
        return id;
    const QStringList parts = SplitPath(path);
    if (!Begin())
        return 0;
    qint64 id = kRootId;
    for (const QString& p : parts) {
        qint64 child = ChildKey(id, p);
        if (child == 0) {
            sqlite3_stmt* s = Prepare(sInsertKey, "INSERT INTO keys(parent, name, fold) "
                                                  "VALUES(?1, ?2, ?3)");
            if (!s) {
                MarkFailed();
                break;
            }
            Reset r{s};
            sqlite3_bind_int64(s, 1, id);
            BindText(s, 2, p.toUtf8());
            BindBlob(s, 3, Fold(p));
            if (sqlite3_step(s) != SQLITE_DONE) {
                MarkFailed();
                break;
            }
            child = sqlite3_last_insert_rowid(Db);
        }
        id = child;
    }
    if (!Commit())
        return 0;
    return id;
}

bool TConfigStore::DeleteKey(const QString& path) {
    qint64 id = FindKey(path);
    if (id == 0 || id == kRootId)
        return false;
    sqlite3_stmt* s = Prepare(sDeleteKey, "DELETE FROM keys WHERE id=?1");
    if (!s)
        return false;
    Reset r{s};
    sqlite3_bind_int64(s, 1, id);
    bool ok = sqlite3_step(s) == SQLITE_DONE;
    KeyCache.clear();
    return ok;
}

QStringList TConfigStore::SubkeyNames(qint64 key) {
    QStringList names;
    sqlite3_stmt* s =
        Prepare(sSubkeys, "SELECT name FROM keys WHERE parent=?1 ORDER BY fold, name");
    if (!s || key == 0)
        return names;
    Reset r{s};
    sqlite3_bind_int64(s, 1, key);
    while (sqlite3_step(s) == SQLITE_ROW)
        names << ColumnText(s, 0);
    return names;
}

QString TConfigStore::KeyName(qint64 key) {
    sqlite3_stmt* s = Prepare(sKeyName, "SELECT name FROM keys WHERE id=?1");
    if (!s)
        return {};
    Reset r{s};
    sqlite3_bind_int64(s, 1, key);
    return sqlite3_step(s) == SQLITE_ROW ? ColumnText(s, 0) : QString();
}

bool TConfigStore::ReadValue(qint64 key, const QString& name, TRegValue& out) {
    sqlite3_stmt* s =
        Prepare(sReadValue, "SELECT type, data, name FROM vals WHERE key=?1 AND fold=?2");
    if (!s || key == 0)
        return false;
    Reset r{s};
    sqlite3_bind_int64(s, 1, key);
    BindBlob(s, 2, Fold(name));
    if (sqlite3_step(s) != SQLITE_ROW)
        return false;
    int type = sqlite3_column_int(s, 0);
    if (type < 1 || type > 5)
        return false;
    out.Type = TValueType(type);
    out.Data = ColumnData(s, 1, out.Type);
    out.Name = ColumnText(s, 2);
    return true;
}

bool TConfigStore::HasValue(qint64 key, const QString& name) {
    TRegValue v;
    return ReadValue(key, name, v);
}

bool TConfigStore::WriteValue(qint64 key, const QString& name, TValueType type,
                              const QVariant& data) {
    sqlite3_stmt* s =
        Prepare(sWriteValue, "INSERT INTO vals(key, fold, name, type, data) "
                             "VALUES(?1, ?2, ?3, ?4, ?5) ON CONFLICT(key, fold) DO UPDATE SET "
                             "type=excluded.type, data=excluded.data");
    if (!s || key == 0)
        return false;
    Reset r{s};
    sqlite3_bind_int64(s, 1, key);
    BindBlob(s, 2, Fold(name));
    BindText(s, 3, name.toUtf8());
    sqlite3_bind_int(s, 4, int(type));
    switch (type) {
    case TValueType::Integer:
        sqlite3_bind_int64(s, 5, data.toInt());
        break;
    case TValueType::Bool:
        sqlite3_bind_int64(s, 5, data.toBool() ? 1 : 0);
        break;
    case TValueType::DateTime:
        sqlite3_bind_double(s, 5, data.toDouble());
        break;
    case TValueType::Text:
        BindText(s, 5, data.toString().toUtf8());
        break;
    case TValueType::Binary:
        BindBlob(s, 5, data.toByteArray());
        break;
    case TValueType::None:
        return false;
    }
    bool ok = sqlite3_step(s) == SQLITE_DONE;
    if (!ok)
        MarkFailed();
    return ok;
}

bool TConfigStore::DeleteValue(qint64 key, const QString& name) {
    sqlite3_stmt* s = Prepare(sDeleteValue, "DELETE FROM vals WHERE key=?1 AND fold=?2");
    if (!s || key == 0)
        return false;
    Reset r{s};
    sqlite3_bind_int64(s, 1, key);
    BindBlob(s, 2, Fold(name));
    return sqlite3_step(s) == SQLITE_DONE && sqlite3_changes(Db) > 0;
}

bool TConfigStore::DeleteAllValues(qint64 key) {
    sqlite3_stmt* s = Prepare(sDeleteValues, "DELETE FROM vals WHERE key=?1");
    if (!s || key == 0)
        return false;
    Reset r{s};
    sqlite3_bind_int64(s, 1, key);
    return sqlite3_step(s) == SQLITE_DONE;
}

QList<TRegValue> TConfigStore::Values(qint64 key) {
    QList<TRegValue> values;
    sqlite3_stmt* s =
        Prepare(sValues, "SELECT name, type, data FROM vals WHERE key=?1 ORDER BY fold, name");
    if (!s || key == 0)
        return values;
    Reset r{s};
    sqlite3_bind_int64(s, 1, key);
    while (sqlite3_step(s) == SQLITE_ROW) {
        int type = sqlite3_column_int(s, 1);
        if (type < 1 || type > 5)
            continue;
        TRegValue v;
        v.Name = ColumnText(s, 0);
        v.Type = TValueType(type);
        v.Data = ColumnData(s, 2, v.Type);
        values << v;
    }
    return values;
}

QStringList TConfigStore::ValueNames(qint64 key) {
    QStringList names;
    for (const TRegValue& v : Values(key))
        names << v.Name;
    return names;
}

bool TConfigStore::Open(bool batch) {
    if (!Db)
        return false;
    QByteArray sql = Levels.empty() ? QByteArray(batch ? "BEGIN" : "BEGIN IMMEDIATE")
                                    : "SAVEPOINT sp" + QByteArray::number(Levels.size());
    if (!Exec(sql.constData()))
        return false;
    Levels.push_back({false, batch});
    return true;
}

bool TConfigStore::Close() {
    if (Levels.empty())
        return false;
    Level level = Levels.back();
    Levels.pop_back();
    QByteArray sp = "sp" + QByteArray::number(Levels.size());
    if (!level.Failed) {
        if (Exec(Levels.empty() ? "COMMIT" : ("RELEASE " + sp).constData()))
            return true;
    }
    if (Levels.empty()) {
        Exec("ROLLBACK");
    } else {
        Exec(("ROLLBACK TO " + sp).constData());
        Exec(("RELEASE " + sp).constData());
    }
    KeyCache.clear();
    return false;
}

void TConfigStore::MarkFailed() {
    if (!Levels.empty() && !Levels.back().Batch)
        Levels.back().Failed = true;
}

bool TConfigStore::Begin() {
    return Open(false);
}
bool TConfigStore::Commit() {
    return Close();
}

void TConfigStore::Rollback() {
    if (Levels.empty())
        return;
    Levels.back().Failed = true;
    Close();
}

void TConfigStore::BeginBatch() {
    Open(true);
}
void TConfigStore::EndBatch() {
    Close();
}

// --- TRegistry ---

TRegistry::TRegistry(THive hive) : StorePtr(&TConfigStore::Hive(hive)) {}
TRegistry::TRegistry(TConfigStore& store) : StorePtr(&store) {}

QString TRegistry::Resolve(const QString& path) const {
    QString p = path;
    p.replace(u'/', u'\\');
    if (p.startsWith(u'\\') || Current.isEmpty())
        return p;
    return Current + u'\\' + p;
}

bool TRegistry::OpenKey(const QString& path, bool canCreate) {
    QString full = Resolve(path);
    qint64 id = canCreate ? StorePtr->CreateKey(full) : StorePtr->FindKey(full);
    if (id == 0)
        return false;
    CurrentId = id;
    Current = u'\\' + TConfigStore::SplitPath(full).join(u'\\');
    return true;
}

void TRegistry::CloseKey() {
    CurrentId = 0;
    Current.clear();
}

bool TRegistry::KeyExists(const QString& path) {
    return StorePtr->FindKey(Resolve(path)) != 0;
}
bool TRegistry::CreateKey(const QString& path) {
    return StorePtr->CreateKey(Resolve(path)) != 0;
}

bool TRegistry::DeleteKey(const QString& path) {
    QString full = Resolve(path);
    bool ok = StorePtr->DeleteKey(full);
    if (ok && CurrentId != 0 && StorePtr->FindKey(Current) == 0)
        CloseKey();
    return ok;
}

bool TRegistry::Read(const QString& name, TRegValue& out) {
    return CurrentId != 0 && StorePtr->ReadValue(CurrentId, name, out);
}

bool TRegistry::Write(const QString& name, TValueType type, const QVariant& data) {
    if (CurrentId == 0)
        return false;
    if (StorePtr->WriteValue(CurrentId, name, type, data))
        return true;
    // The key may have been deleted by another process since it was opened: open it anew.
    // Key ids are never reused, so a stale id can never reach another key.
    qint64 id = StorePtr->CreateKey(Current);
    if (id == 0)
        return false;
    CurrentId = id;
    return StorePtr->WriteValue(CurrentId, name, type, data);
}

bool TRegistry::ValueExists(const QString& name) {
    return CurrentId != 0 && StorePtr->HasValue(CurrentId, name);
}

TValueType TRegistry::GetDataType(const QString& name) {
    TRegValue v;
    return Read(name, v) ? v.Type : TValueType::None;
}

bool TRegistry::DeleteValue(const QString& name) {
    return CurrentId != 0 && StorePtr->DeleteValue(CurrentId, name);
}

QStringList TRegistry::GetValueNames() {
    return CurrentId != 0 ? StorePtr->ValueNames(CurrentId) : QStringList();
}

QStringList TRegistry::GetKeyNames() {
    return CurrentId != 0 ? StorePtr->SubkeyNames(CurrentId) : QStringList();
}

int TRegistry::ReadInteger(const QString& name, int defaultValue) {
    TRegValue v;
    if (!Read(name, v))
        return defaultValue;
    switch (v.Type) {
    case TValueType::Integer:
    case TValueType::Bool:
        return v.Data.toInt();
    default:
        return defaultValue;
    }
}

QString TRegistry::ReadString(const QString& name, const QString& defaultValue) {
    TRegValue v;
    return Read(name, v) && v.Type == TValueType::Text ? v.Data.toString() : defaultValue;
}

bool TRegistry::ReadBool(const QString& name, bool defaultValue) {
    TRegValue v;
    if (!Read(name, v))
        return defaultValue;
    if (v.Type == TValueType::Bool || v.Type == TValueType::Integer)
        return v.Data.toInt() != 0;
    return defaultValue;
}

double TRegistry::ReadDateTime(const QString& name, double defaultValue) {
    TRegValue v;
    if (!Read(name, v))
        return defaultValue;
    if (v.Type == TValueType::DateTime)
        return v.Data.toDouble();
    if (v.Type == TValueType::Binary && v.Data.toByteArray().size() == 8) {
        double d;
        memcpy(&d, v.Data.toByteArray().constData(), 8);
        return d;
    }
    return defaultValue;
}

QByteArray TRegistry::ReadBinaryData(const QString& name, const QByteArray& defaultValue) {
    TRegValue v;
    return Read(name, v) && v.Type == TValueType::Binary ? v.Data.toByteArray() : defaultValue;
}

bool TRegistry::WriteInteger(const QString& name, int value) {
    return Write(name, TValueType::Integer, QVariant(qint32(value)));
}
bool TRegistry::WriteString(const QString& name, const QString& value) {
    return Write(name, TValueType::Text, QVariant(value));
}
bool TRegistry::WriteBool(const QString& name, bool value) {
    return Write(name, TValueType::Bool, QVariant(value));
}
bool TRegistry::WriteDateTime(const QString& name, double value) {
    return Write(name, TValueType::DateTime, QVariant(value));
}
bool TRegistry::WriteBinaryData(const QString& name, const QByteArray& value) {
    return Write(name, TValueType::Binary, QVariant(value));
}

void ClearSubkeys(TRegistry& reg) {
    const QStringList names = reg.GetKeyNames();
    QString path = reg.CurrentPath();
    if (path.isEmpty())
        return;
    TConfigStore& store = reg.Store();
    store.Begin();
    for (const QString& name : names) {
        QString sub = path + u'\\' + name;
        store.DeleteAllValues(store.FindKey(sub));
        store.DeleteKey(sub);
    }
    store.Commit();
}

void ClearValues(const QString& path, THive hive) {
    TConfigStore& store = TConfigStore::Hive(hive);
    if (qint64 id = store.FindKey(path))
        store.DeleteAllValues(id);
}
