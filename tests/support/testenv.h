#pragma once

// A private program folder, user configuration and clock for one test.

#include "engine/datetime.h"
#include "engine/helpers.h"
#include "engine/registry.h"

#include <QDir>
#include <QTemporaryDir>

class TTestEnv {
public:
    TTestEnv() {
        qputenv("LOBRANA_HOME", QDir(Dir.path()).filePath(QStringLiteral("home")).toLocal8Bit());
        qputenv("XDG_CONFIG_HOME",
                QDir(Dir.path()).filePath(QStringLiteral("config")).toLocal8Bit());
        TConfigStore::CloseHives();
        SetConfigurationName({});
        TClock::SetSource({});
        QDir().mkpath(ProgramFolder());
    }
    ~TTestEnv() {
        TConfigStore::CloseHives();
        SetConfigurationName({});
        TClock::SetSource({});
    }
    TTestEnv(const TTestEnv&) = delete;
    TTestEnv& operator=(const TTestEnv&) = delete;

    QString Path() const { return Dir.path(); }
    // Fixes the engine's clock at the given time.
    void SetNow(const QDateTime& now) {
        TClock::SetSource([now] { return now; });
    }

private:
    QTemporaryDir Dir;
};
