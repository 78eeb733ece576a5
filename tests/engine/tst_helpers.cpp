#include "support/testenv.h"

#include "engine/cp1250.h"
#include "engine/datetime.h"
#include "engine/helpers.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestHelpers : public QObject {
    Q_OBJECT
private slots:
    void numbers() {
        QCOMPARE(PadNumber3(2), u"002"_s);
        QCOMPARE(PadNumber3(256), u"256"_s);
        QCOMPARE(PadNumber3(1234), u"1234"_s);
        QCOMPARE(PadNumber2(7), u"07"_s);
        QCOMPARE(Power(2, 8), 256);
        QCOMPARE(Power(2, 0), 1);
        QCOMPARE(Power(3, -1), 1);
        QCOMPARE(Log2(256), 8);
        QCOMPARE(Log2(2), 1);
        QCOMPARE(Log2(6), 3); // nearest: log2(6) = 2.58
        QCOMPARE(Log2(0), 0);
    }

    void parseNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << u"123"_s << 123;
        QTest::newRow("stray characters") << u" 1a2 b"_s << 12;
        QTest::newRow("sign") << u"-15 min"_s << -15;
        QTest::newRow("empty") << u""_s << 0;
        QTest::newRow("letters only") << u"abc"_s << 0;
        QTest::newRow("sign in the middle") << u"1-2"_s << 0;
        QTest::newRow("overflow") << u"99999999999"_s << 0;
    }
    void parseNumber() {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(ParseNumber(text), value);
    }

    void rootKeyPath() {
        SetConfigurationName({});
        QCOMPARE(RootKeyPath(0), u"\\Software\\Vantrel\\Waiting room"_s);
        QCOMPARE(RootKeyPath(1), u"\\Software\\Vantrel\\Waiting room\\Tickets Repository"_s);
        QCOMPARE(RootKeyPath(2), u"\\Software\\Vantrel\\Waiting room\\Client"_s);
        QCOMPARE(RootKeyPath(3), u"\\Software\\Vantrel\\Waiting room\\Client\\IP Camera"_s);
        SetConfigurationName(u"Ordinace 2"_s);
        QCOMPARE(RootKeyPath(2), u"\\Software\\Vantrel\\Waiting room Ordinace 2\\Client"_s);
        SetConfigurationName({});
    }

    void dateTimeNumbers() {
        QCOMPARE(DateTimeNumber::FromDate(QDate(1899, 12, 30)), 0.0);
        QCOMPARE(DateTimeNumber::FromDate(QDate(1900, 1, 1)), 2.0);
        QDateTime noon(QDate(2026, 12, 11), QTime(12, 0));
        double n = DateTimeNumber::FromDateTime(noon);
        QCOMPARE(n - std::floor(n), 0.5);
        QCOMPARE(DateTimeNumber::ToDateTime(n), noon);
        // A value a hair below midnight rounds to the next day, not 23:59:59.999 of this one.
        QCOMPARE(DateTimeNumber::ToDateTime(std::floor(n) + 0.9999999999).date(),
                 noon.date().addDays(1));
        QCOMPARE(DateTimeNumber::ToTime(0.25), QTime(6, 0));
        QCOMPARE(ShortTime(QDateTime(QDate(2026, 1, 1), QTime(8, 7, 33))), u"8:07"_s);
        QCOMPARE(ShortTime(DateTimeNumber::FromTime(QTime(14, 30))), u"14:30"_s);
    }

    void clockCanBeSet() {
        QDateTime fixed(QDate(2026, 3, 2), QTime(9, 0));
        TClock::SetSource([fixed] { return fixed; });
        QCOMPARE(TClock::Now(), fixed);
        TClock::SetSource({});
        QVERIFY(qAbs(TClock::Now().secsTo(QDateTime::currentDateTime())) < 5);
    }

    void cp1250() {
        QString czech = u"Příliš žluťoučký kůň úpěl ďábelské ódy ŠŤŽ"_s;
        QByteArray bytes = Cp1250::Encode(czech);
        QCOMPARE(bytes.size(), czech.size());
        QCOMPARE(uchar(bytes[1]), uchar(0xF8)); // ř
        QCOMPARE(Cp1250::Decode(bytes), czech);
        QCOMPARE(Cp1250::Encode(u"€ Ω"_s), QByteArray("\x80 ?"));
        QCOMPARE(Cp1250::Decode(QByteArray("\x81")), QString(QChar(0xFFFD)));
    }

    void programPaths() {
        TTestEnv env;
        QString home = ProgramFolder();
        QCOMPARE(home, QDir::cleanPath(env.Path() + u"/home"_s));
        QCOMPARE(RelativeToProgram(home + u"/Zvuky/gong.wav"_s), u"Zvuky/gong.wav"_s);
        QCOMPARE(RelativeToProgram(u"/elsewhere/gong.wav"_s), u"/elsewhere/gong.wav"_s);
        // A folder that merely starts with the same letters is not inside.
        QCOMPARE(RelativeToProgram(home + u"2/gong.wav"_s), home + u"2/gong.wav"_s);
        QCOMPARE(AbsoluteFromProgram(u"Zvuky\\gong.wav"_s), home + u"/Zvuky/gong.wav"_s);
        QCOMPARE(AbsoluteFromProgram(u"/abs/x.wav"_s), u"/abs/x.wav"_s);
        QCOMPARE(BaseName(u"Zvuky\\Číslo 12.wav"_s), u"Číslo 12"_s);
        QVERIFY(PrepareProgramFolder());
        for (const char* sub : {"Zvuky", "Fotky", "Návody", "Obrázky", "Font"})
            QVERIFY(QFileInfo(home + u'/' + QString::fromUtf8(sub)).isDir());
    }

    void desktopPlaces() {
        QCOMPARE(CenteredStart(768, 500), 134);
        QCOMPARE(CenteredStart(768, 900), 0);
        QCOMPARE(KeepInside(700, 200, 768), 568);
        QCOMPARE(KeepInside(100, 200, 768), 100);
        QCOMPARE(KeepInside(10, 900, 768), 0);
    }
};

QTEST_GUILESS_MAIN(TestHelpers)
#include "tst_helpers.moc"
