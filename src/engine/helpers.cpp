#include "engine/helpers.h"

#include "engine/datetime.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

QString& ConfigName() {
    static QString name;
    return name;
}

QString EnvPath(const char* name) {
    return QString::fromLocal8Bit(qgetenv(name));
}

} // namespace

void SetConfigurationName(const QString& name) {
    ConfigName() = name;
}
QString ConfigurationName() {
    return ConfigName();
}

QString RootKeyPath(int selector) {
    QString root = u"\\Software\\Vantrel\\Waiting room"_s;
    if (!ConfigName().isEmpty())
        root += u' ' + ConfigName();
    switch (selector) {
    case 1:
        return root + u"\\Tickets Repository"_s;
    case 2:
        return root + u"\\Client"_s;
    case 3:
        return root + u"\\Client\\IP Camera"_s;
    default:
        return root;
    }
}

QString PadNumber3(int value) {
    return u"%1"_s.arg(value, 3, 10, QChar(u'0'));
}
QString PadNumber2(int value) {
    return u"%1"_s.arg(value, 2, 10, QChar(u'0'));
}

int ParseNumber(const QString& text) {
    QString kept;
    for (QChar c : text)
        if ((c >= u'0' && c <= u'9') || c == u'+' || c == u'-')
            kept.append(c);
    bool ok = false;
    int value = kept.toInt(&ok);
    return ok ? value : 0;
}

int Power(int base, int exponent) {
    int result = 1;
    for (int i = 0; i < exponent; ++i)
        result *= base;
    return result;
}

int Log2(int value) {
    if (value < 1)
        return 0;
    return int(std::lround(std::log2(double(value))));
}

QString ShortTime(const QDateTime& time) {
    QString text = time.time().toString(u"h:mm:ss"_s);
    text.chop(3);
    return text;
}

QString ShortTime(double dateTimeNumber) {
    return ShortTime(DateTimeNumber::ToDateTime(dateTimeNumber));
}

int CenteredStart(int desktopExtent, int size) {
    return qMax(0, (desktopExtent - size) / 2);
}

int KeepInside(int start, int size, int desktopExtent) {
    if (start + size > desktopExtent)
        start = desktopExtent - size;
    return qMax(0, start);
}

QString ProgramFolder() {
    QString home = EnvPath("LOBRANA_HOME");
    if (!home.isEmpty())
        return QDir::cleanPath(QDir(home).absolutePath());
    QString data = EnvPath("XDG_DATA_HOME");
    if (data.isEmpty())
        data = QDir::homePath() + u"/.local/share"_s;
    return QDir::cleanPath(data + u"/lobrana"_s);
}

QString UserConfigFolder() {
    QString config = EnvPath("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + u"/.config"_s;
    return QDir::cleanPath(config + u"/lobrana"_s);
}

QString AssetsFolder() {
    QStringList candidates;
    QString env = EnvPath("LOBRANA_ASSETS");
    if (!env.isEmpty())
        candidates << env;
    if (QCoreApplication::instance()) {
        QString exe = QCoreApplication::applicationDirPath();
        candidates << exe + u"/../share/lobrana/assets"_s << exe + u"/../../../assets"_s
                   << exe + u"/../../assets"_s;
    }
    candidates << QString::fromUtf8(LOBRANA_SOURCE_DIR "/assets");
    for (const QString& c : candidates)
        if (QFileInfo(c).isDir())
            return QDir::cleanPath(QFileInfo(c).absoluteFilePath());
    return {};
}

bool PrepareProgramFolder() {
    QDir folder(ProgramFolder());
    if (!folder.mkpath(u"."_s))
        return false;
    for (const auto& sub : {u"Zvuky"_s, u"Fotky"_s, u"Návody"_s, u"Obrázky"_s, u"Font"_s})
        folder.mkpath(sub);
    QString assets = AssetsFolder();
    if (assets.isEmpty())
        return true;
    QDirIterator it(assets, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QString source = it.next();
        QString relative = QDir(assets).relativeFilePath(source);
        QString target = folder.filePath(relative);
        if (QFileInfo::exists(target))
            continue;
        folder.mkpath(QFileInfo(relative).path());
        QFile::copy(source, target);
        QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner);
    }
    return true;
}

QString NormalizeStoredPath(const QString& path) {
    QString p = path;
    p.replace(u'\\', u'/');
    return p;
}

QString RelativeToProgram(const QString& path) {
    QString p = NormalizeStoredPath(path);
    QString folder = ProgramFolder();
    if (!folder.endsWith(u'/'))
        folder += u'/';
    QString fileFolder = QFileInfo(p).path() + u'/';
    if (QFileInfo(p).isAbsolute() && fileFolder.startsWith(folder))
        return p.mid(folder.size());
    return p;
}

QString AbsoluteFromProgram(const QString& name) {
    QString p = NormalizeStoredPath(name);
    if (QDir::isAbsolutePath(p))
        return p;
    return QDir(ProgramFolder()).filePath(p);
}

QString BaseName(const QString& path) {
    QString name = NormalizeStoredPath(path).section(u'/', -1);
    int dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.left(dot) : name;
}
