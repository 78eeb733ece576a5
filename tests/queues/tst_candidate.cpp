#include "queuefixture.h"

#include "engine/datetime.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestCandidate : public QObject {
    Q_OBJECT
private slots:
    void recordHasTheFieldsAtTheirOffsets() {
        TTestEnv env;
        TCandidate c(nullptr, nullptr);
        c.Number = 123;
        c.Issued = 45719.25;
        c.CallStamp = -7;
        c.Kind = 3;
        c.Reason = 4;
        c.CallCount = 2;
        c.FirstCall = 0.375;
        c.LastCall = 0.5;
        c.DoneAt = 0.625;
        c.State = TCandidate::BeingServed;
        c.PhotoId = 99999998;
        c.Note = u"vložen ručně"_s;
        c.FirstPosition = 5;
        c.Position = 6;
        c.EnteredAt = 0.125;
        c.EnteredPosition = 0x01020304;

        TBytes r{c.Record()};
        QCOMPARE(r.Data.size(), 102);
        QCOMPARE(r.Int(0), 123);
        QCOMPARE(r.Double(4), 45719.25);
        QCOMPARE(r.Int(12), -7);
        QCOMPARE(r.Byte(16), 3);
        QCOMPARE(r.Byte(17), 4);
        QCOMPARE(r.Int(18), 2);
        QCOMPARE(r.Double(22), 0.375);
        QCOMPARE(r.Double(30), 0.5);
        QCOMPARE(r.Double(38), 0.625);
        QCOMPARE(r.Byte(46), 4);
        QCOMPARE(r.Int(47), 99999998);
        // Length byte, then Windows-1250: "ž" is 0x9E, "č" 0xE8, "ě" 0xEC.
        QCOMPARE(r.Byte(51), 12);
        QCOMPARE(r.Data.mid(52, 12), QByteArray("vlo\x9e"
                                                "en ru\xe8n\xec"));
        QCOMPARE(r.Data.mid(64, 18), QByteArray(18, '\0'));
        QCOMPARE(r.Int(82), 5);
        QCOMPARE(r.Int(86), 6);
        QCOMPARE(r.Double(90), 0.125);
        // Little-endian, byte by byte.
        QCOMPARE(r.Data.mid(98, 4), QByteArray("\x04\x03\x02\x01"));

        TCandidate back(nullptr, nullptr);
        back.ReadRecord(r.Data.constData());
        QCOMPARE(back.Record(), r.Data);
        QCOMPARE(back.Note, c.Note);
    }

    void newCandidateDefaults() {
        TTestEnv env;
        env.SetNow(QDateTime(QDate(2025, 3, 3), QTime(12, 0)));
        TCandidate c(nullptr, nullptr);
        QCOMPARE(c.State, quint8(0));
        QCOMPARE(c.Number, 0);
        QCOMPARE(c.PhotoId, 365);
        QCOMPARE(c.FirstPosition, -1);
        QCOMPARE(c.Issued, DateTimeNumber::FromDate(QDate(2025, 3, 3)) + 0.5);
        QVERIFY(c.Note.isEmpty());
    }

    void noteIsCutToThirtyCharacters() {
        TCandidate c(nullptr, nullptr);
        c.SetNote(QString(40, u'ř'));
        QCOMPARE(c.Note.size(), 30);
        TBytes r{c.Record()};
        QCOMPARE(r.Byte(51), 30);
        // A foreign length byte reads no further than the field.
        r.Data[51] = char(200);
        TCandidate back(nullptr, nullptr);
        back.ReadRecord(r.Data.constData());
        QCOMPARE(back.Note, QString(30, u'ř'));
    }

    void isValid_data() {
        QTest::addColumn<int>("field");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("valid");
        // field: 0 Number, 1 Kind, 2 DoneAt, 3 PhotoId, 4 State
        QTest::newRow("number 0") << 0 << 0.0 << true;
        QTest::newRow("number 999") << 0 << 999.0 << true;
        QTest::newRow("number 1000") << 0 << 1000.0 << false;
        QTest::newRow("number -1") << 0 << -1.0 << false;
        QTest::newRow("kind 3") << 1 << 3.0 << true;
        QTest::newRow("kind 4") << 1 << 4.0 << false;
        QTest::newRow("done at 0") << 2 << 0.0 << true;
        QTest::newRow("done at negative") << 2 << -0.1 << false;
        QTest::newRow("done at NaN") << 2 << qQNaN() << false;
        QTest::newRow("photo -1") << 3 << -1.0 << false;
        QTest::newRow("state 8") << 4 << 8.0 << true;
        QTest::newRow("state 9") << 4 << 9.0 << false;
    }
    void isValid() {
        QFETCH(int, field);
        QFETCH(double, value);
        QFETCH(bool, valid);
        TCandidate c(nullptr, nullptr);
        switch (field) {
        case 0:
            c.Number = qint32(value);
            break;
        case 1:
            c.Kind = quint8(value);
            break;
        case 2:
            c.DoneAt = value;
            break;
        case 3:
            c.PhotoId = qint32(value);
            break;
        default:
            c.State = quint8(value);
        }
        QCOMPARE(c.IsValid(), valid);
    }

    void stateNames() {
        QCOMPARE(TCandidate::StateName(0), u"Čeká"_s);
        QCOMPARE(TCandidate::StateName(6), u"Z jiné fronty"_s);
        QCOMPARE(TCandidate::StateName(8), u"Vyřízen"_s);
        QCOMPARE(TCandidate::StateName(9), QString());
    }

    void setStateStampsTheCallsAndTheFinish() {
        TTestEnv env;
        env.SetNow(QDateTime(QDate(2025, 3, 3), QTime(9, 0)));
        TCandidate c(nullptr, nullptr);
        c.SetState(TCandidate::Calling);
        QCOMPARE(c.FirstCall, 9 / 24.0);
        QCOMPARE(c.LastCall, 9 / 24.0);
        c.CallCount = 1;
        c.SetState(TCandidate::WaitingAgain);
        env.SetNow(QDateTime(QDate(2025, 3, 3), QTime(12, 0)));
        c.SetState(TCandidate::Calling);
        QCOMPARE(c.FirstCall, 9 / 24.0);
        QCOMPARE(c.LastCall, 0.5);
        QCOMPARE(c.DoneAt, 0.0);
        env.SetNow(QDateTime(QDate(2025, 3, 3), QTime(18, 0)));
        c.SetState(TCandidate::Done);
        QCOMPARE(c.DoneAt, 0.75);
        // Setting the same state again changes nothing.
        env.SetNow(QDateTime(QDate(2025, 3, 3), QTime(19, 0)));
        c.SetState(TCandidate::Done);
        QCOMPARE(c.DoneAt, 0.75);
    }
};

QTEST_GUILESS_MAIN(TestCandidate)
#include "tst_candidate.moc"
