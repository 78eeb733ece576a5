#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// The configuration store: a registry of keys and typed values kept in one SQLite file per hive.
// Keys are case-insensitive and case-preserving; subkeys and values enumerate in name order.
// Every write is one transaction, so a crash never leaves half a key, and several processes may
// use one file at once. Main thread only.

enum class THive { Machine, User };

enum class TValueType { None = 0, Integer = 1, Text = 2, Bool = 3, DateTime = 4, Binary = 5 };

struct TRegValue {
    QString Name;
    TValueType Type = TValueType::None;
    QVariant Data; // qint32, QString, bool, double or QByteArray
};

class TConfigStore {
public:
    explicit TConfigStore(const QString& fileName);
    ~TConfigStore();
    TConfigStore(const TConfigStore&) = delete;
    TConfigStore& operator=(const TConfigStore&) = delete;

    // The hives of this process, opened on first use at the files the environment names.
    static TConfigStore& Hive(THive hive);
    // Closes the hives, so the next use opens them again (after the environment changed).
    static void CloseHives();
    static QString HiveFileName(THive hive);

    bool IsOpen() const { return Db != nullptr; }
    QString FileName() const { return Path; }

    // Key ids; 0 means missing. Paths use '\' or '/' between names.
    qint64 FindKey(const QString& path);
    qint64 CreateKey(const QString& path);
    bool DeleteKey(const QString& path);
    QStringList SubkeyNames(qint64 key);
    QString KeyName(qint64 key);

    bool ReadValue(qint64 key, const QString& name, TRegValue& out);
    bool HasValue(qint64 key, const QString& name);
    bool WriteValue(qint64 key, const QString& name, TValueType type, const QVariant& data);
    bool DeleteValue(qint64 key, const QString& name);
    bool DeleteAllValues(qint64 key);
    QList<TRegValue> Values(qint64 key);
    QStringList ValueNames(qint64 key);

    // Runs several writes as one transaction; nested calls join the outer one.
    bool Begin();
    bool Commit();
    void Rollback();
    // A batch of reads (and the odd write) in one transaction: a whole tree loads with one
    // lock instead of one per statement. A failed write inside it does not undo the others.
    void BeginBatch();
    void EndBatch();

    // Raw handle for benchmarks that compare against a bare select.
    sqlite3* Handle() const { return Db; }

    static QStringList SplitPath(const QString& path);
    static QByteArray Fold(const QString& name);

private:
    struct Stmt;
    sqlite3_stmt* Prepare(int slot, const char* sql);
    qint64 ChildKey(qint64 parent, const QString& name);
    void CheckForeignChanges();
    bool Exec(const char* sql);

    QString Path;
    sqlite3* Db = nullptr;
    sqlite3_stmt* Stmts[16] = {};
    QHash<QByteArray, qint64> KeyCache; // folded path -> id
    qint64 DataVersion = -1;
    struct Level {
        bool Failed;
        bool Batch;
    };
    bool Open(bool batch);
    bool Close();
    void MarkFailed();
    std::vector<Level> Levels;
};

// A handle in the manner of a registry object: open one key, then read and write its values.
// Missing values keep the caller's default; nothing fails for a missing value.
class TRegistry {
public:
    explicit TRegistry(THive hive = THive::Machine);
    explicit TRegistry(TConfigStore& store);

    // A path starting with '\' is absolute; any other is relative to the open key.
    bool OpenKey(const QString& path, bool canCreate);
    bool OpenKeyReadOnly(const QString& path) { return OpenKey(path, false); }
    void CloseKey();
    bool KeyExists(const QString& path);
    bool CreateKey(const QString& path);
    // Deletes the key and its whole subtree.
    bool DeleteKey(const QString& path);
    QString CurrentPath() const { return Current; }
    bool HasCurrentKey() const { return CurrentId != 0; }

    bool ValueExists(const QString& name);
    TValueType GetDataType(const QString& name);
    bool DeleteValue(const QString& name);
    QStringList GetValueNames();
    QStringList GetKeyNames();

    int ReadInteger(const QString& name, int defaultValue = 0);
    QString ReadString(const QString& name, const QString& defaultValue = {});
    bool ReadBool(const QString& name, bool defaultValue = false);
    double ReadDateTime(const QString& name, double defaultValue = 0.0);
    QByteArray ReadBinaryData(const QString& name, const QByteArray& defaultValue = {});

    bool WriteInteger(const QString& name, int value);
    bool WriteString(const QString& name, const QString& value);
    bool WriteBool(const QString& name, bool value);
    bool WriteDateTime(const QString& name, double value);
    bool WriteBinaryData(const QString& name, const QByteArray& value);

    TConfigStore& Store() { return *StorePtr; }

private:
    QString Resolve(const QString& path) const;
    bool Write(const QString& name, TValueType type, const QVariant& data);
    bool Read(const QString& name, TRegValue& out);

    TConfigStore* StorePtr;
    QString Current;
    qint64 CurrentId = 0;
};

// Holds a batch open on a hive while it lives.
class TStoreBatch {
public:
    explicit TStoreBatch(THive hive = THive::Machine) : Store(TConfigStore::Hive(hive)) {
        Store.BeginBatch();
    }
    ~TStoreBatch() { Store.EndBatch(); }
    TStoreBatch(const TStoreBatch&) = delete;
    TStoreBatch& operator=(const TStoreBatch&) = delete;

private:
    TConfigStore& Store;
};

// Deletes every subkey of the open key (values first, then the key).
void ClearSubkeys(TRegistry& reg);
// Deletes all values of the key at the path, when it exists.
void ClearValues(const QString& path, THive hive = THive::Machine);
