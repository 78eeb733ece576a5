// The byte layouts of the station messages, the command cutter and the operator-side reader.

#include "engine/cp1250.h"
#include "engine/stationmessage.h"

#include <QTest>
#include <QtEndian>

using namespace Qt::StringLiterals;
using namespace StationMessage;

Q_DECLARE_METATYPE(QList<QByteArray>)

namespace {

QByteArray Record(char fill) {
    return QByteArray(RecordSize, fill);
}

} // namespace

class TestStationMessage : public QObject {
    Q_OBJECT
private slots:
    void commandBytes_data();
    void commandBytes();
    void commandsReadBack();
    void cutting_data();
    void cutting();
    void stateBytes();
    void queueStateOffsets();
    void stateReading();
    void candidateListDelimitedByItsOwnEnd();
    void malformedStates_data();
    void malformedStates();
    void countersSeeMalformedRuns();
};

void TestStationMessage::commandBytes_data() {
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("A") << MarkDone(2, 105) << QByteArray("*pA002105");
    QTest::newRow("B") << MoveToEnd(4, 7) << QByteArray("*pB004007");
    QTest::newRow("C note") << SetNote(2, 105, u"čaj"_s)
                            << QByteArray("*pC002105N\x03\xe8"
                                          "aj");
    QTest::newRow("C queue") << MoveToQueue(2, 105, 4) << QByteArray("*pC002105Q004");
    QTest::newRow("C reason") << SetReason(2, 105, 3) << QByteArray("*pC002105R\x03", 11);
    QTest::newRow("D queue 8") << CallNext(256) << QByteArray("*pD256");
    QTest::newRow("E") << DeleteCandidate(2, 0) << QByteArray("*pE002000");
    QTest::newRow("F") << SendQueueStates() << QByteArray("*pF");
    QTest::newRow("L") << OpenDoor(2) << QByteArray("*pL002");
    QTest::newRow("M open") << SetOpened(true) << QByteArray("*pM1");
    QTest::newRow("M closed") << SetOpened(false) << QByteArray("*pM0");
    QTest::newRow("N") << ManualEntry(0) << QByteArray("*pN000");
    QTest::newRow("O") << NotCome(2) << QByteArray("*pO002");
    QTest::newRow("Q open") << SetQueueOpen(2, true) << QByteArray("*pQ002O");
    QTest::newRow("Q closed") << SetQueueOpen(2, false) << QByteArray("*pQ002C");
    QTest::newRow("R") << RequestQueue(4) << QByteArray("*pR004");
    QTest::newRow("W") << MoveForward(2, 999) << QByteArray("*pW002999");
    QTest::newRow("X") << RequestAll() << QByteArray("*pX");
}

void TestStationMessage::commandBytes() {
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, expected);
    QCOMPARE(built, expected);
    // Every built command is exactly one command to the cutter.
    QCOMPARE(CommandLength(built.constData(), built.size()), built.size());
}

void TestStationMessage::commandsReadBack() {
    auto note = ReadCommand(SetNote(2, 105, u"a *pD002 b"_s));
    QVERIFY(note);
    QCOMPARE(note->Letter, 'C');
    QCOMPARE(note->Mask, 2);
    QCOMPARE(note->Number, 105);
    QCOMPARE(note->SubLetter, 'N');
    QCOMPARE(note->Note, u"a *pD002 b"_s);

    auto move = ReadCommand(MoveToQueue(4, 12, 256));
    QVERIFY(move);
    QCOMPARE(move->Target, 256);
    auto reason = ReadCommand(SetReason(2, 1, 200));
    QVERIFY(reason);
    QCOMPARE(reason->Byte, quint8(200));
    auto q = ReadCommand(SetQueueOpen(8, false));
    QVERIFY(q);
    QCOMPARE(q->Mask, 8);
    QCOMPARE(q->Byte, quint8('C'));

    // A text must hold exactly one command.
    QVERIFY(!ReadCommand(QByteArray("*pD002*pD004")));
    QVERIFY(!ReadCommand(QByteArray("*pD00")));
    QVERIFY(!ReadCommand(QByteArray()));
}

void TestStationMessage::cutting_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<QByteArray>>("commands");
    QTest::addColumn<int>("malformed");
    using L = QList<QByteArray>;
    QTest::newRow("two calls") << QByteArray("*pD002*pD004") << L{"*pD002", "*pD004"} << 0;
    // The note carries "*p"; its length byte keeps it whole.
    const QByteArray note = SetNote(2, 105, u"x*pD004y"_s);
    QTest::newRow("note with marker") << note + "*pX" << L{note, "*pX"} << 0;
    QTest::newRow("empty") << QByteArray() << L{} << 0;
    QTest::newRow("garbage before") << QByteArray("abc*pF") << L{"*pF"} << 1;
    QTest::newRow("garbage between") << QByteArray("*pD002zz*pD004") << L{"*pD002", "*pD004"} << 1;
    QTest::newRow("non-digits") << QByteArray("*pD0x2*pD004") << L{"*pD004"} << 1;
    QTest::newRow("sign is no digit") << QByteArray("*pD-02*pA+02100") << L{} << 2;
    QTest::newRow("unknown letter") << QByteArray("*pZ002*pO002") << L{"*pO002"} << 1;
    QTest::newRow("unknown sub-letter") << QByteArray("*pC002100Z*pO002") << L{"*pO002"} << 1;
    QTest::newRow("truncated") << QByteArray("*pO002*pA0021") << L{"*pO002"} << 1;
    QTest::newRow("truncated note") << QByteArray("*pC002100N\x09"
                                                  "abc")
                                    << L{} << 1;
    // A keep-alive is no command; the call after it is still found.
    QTest::newRow("keep-alive then call") << QByteArray("*pW*pD002") << L{"*pD002"} << 1;
    QTest::newRow("lone marker") << QByteArray("*p") << L{} << 1;
    QTest::newRow("star at end") << QByteArray("*pX*") << L{"*pX"} << 1;
    QTest::newRow("M takes any byte")
        << QByteArray("*pM\x00*pM1", 8) << L{QByteArray("*pM\x00", 4), "*pM1"} << 0;
}

void TestStationMessage::cutting() {
    QFETCH(QByteArray, text);
    QFETCH(QList<QByteArray>, commands);
    QFETCH(int, malformed);
    int bad = 0;
    QCOMPARE(CutCommands(text, &bad), commands);
    QCOMPARE(bad, malformed);
}

void TestStationMessage::stateBytes() {
    QCOMPARE(ButtonInfo(1, 3, u"Lékař"_s), QByteArray("*pT001\x03\x05L\xe9ka\xf8"));
    QCOMPARE(QueueName(256, u"K sestře"_s).left(7), QByteArray("*pF256\x08"));
    QCOMPARE(CandidateListStart(2), QByteArray("*pC002"));
    QCOMPARE(CandidateListEnd(2), QByteArray("*pE002"));
    QCOMPARE(QueueAlert(1, 1), QByteArray("*pQ001\x01"));
    QCOMPARE(OpenedState(false), QByteArray("*pM0"));
    QCOMPARE(PrintBoxState(1, u"Box"_s, 2, 0), QByteArray("*pP001\x03"
                                                          "Box\x02\x00",
                                                          12));
    QCOMPARE(NoCamera(), QByteArray("*pH002"));
    const QByteArray ip = CameraState(0, true, u"Kamera 001"_s, QByteArray(306, 'b'));
    QCOMPARE(ip.size(), 314 + 10);
    QVERIFY(ip.startsWith("*pH0001\x0a"
                          "Kamera 001"));
    QCOMPARE(CameraState(0, false, u"Kamera 001"_s, QByteArray(306, 'b')).size(), 8 + 10);
    QCOMPARE(CameraState(1, true, u"Kamera 001"_s).size(), 8 + 10);
    QByteArray r;
    AppendCandidate(r, 2, Record('z').constData());
    QCOMPARE(r.size(), 108);
    QVERIFY(r.startsWith("*pR002zz"));
    // A name longer than a length byte can tell is cut, not wrapped.
    QCOMPARE(QueueName(2, QString(300, u'a')).size(), 7 + 255);
    QCOMPARE(quint8(QueueName(2, QString(300, u'a')).at(6)), quint8(255));
}

void TestStationMessage::queueStateOffsets() {
    TQueueState s;
    s.Mask = 256;
    s.ServedCount = 1;
    s.AverageWait = 2;
    s.AverageServe = 3;
    s.ActiveCount = 4;
    s.Remaining = 5;
    s.CalledNumber = 6;
    s.NextNumber = -17;
    s.LockState = 8;
    s.DoorState = 9;
    s.Open = 1;
    s.Rooms = 2;
    QByteArray k;
    AppendQueueState(k, s);
    QCOMPARE(k.size(), 44);
    QVERIFY(k.startsWith("*pK256"));
    auto at = [&k](int offset) { return qFromLittleEndian<qint32>(k.constData() + offset); };
    QCOMPARE(at(6), 1);
    QCOMPARE(at(10), 2);
    QCOMPARE(at(14), 3);
    QCOMPARE(at(18), 4);
    QCOMPARE(at(22), 5);
    QCOMPARE(at(26), 6);
    QCOMPARE(at(30), -17);
    QCOMPARE(at(34), 8);
    QCOMPARE(at(38), 9);
    QCOMPARE(int(k.at(42)), 1);
    QCOMPARE(int(k.at(43)), 2);
    const TQueueState back = ReadQueueState(k.constData());
    QCOMPARE(back.Mask, 256);
    QCOMPARE(back.NextNumber, -17);
    QCOMPARE(back.Rooms, quint8(2));
}

void TestStationMessage::stateReading() {
    // Binary fields full of marker bytes must not mislead the reader.
    QByteArray record = Record('\0');
    record.replace(10, 6, "*pE002");
    record.replace(60, 3, "*pX");
    TQueueState s;
    s.Mask = 2;
    s.NextNumber = 0x4b702a; // "*pK" in its bytes
    QByteArray text = FullListMarker() + ButtonInfo(1, 1, u"*pF004"_s) + QueueName(2, u"Fronta"_s);
    AppendQueueState(text, s);
    text += CandidateListStart(2);
    AppendCandidate(text, 2, record.constData());
    text += CandidateListEnd(2) + QueueAlert(1, 2) + OpenedState(true) +
            PrintBoxState(1, u"Tisková skříňka"_s, 1, 2) + NoCamera() +
            CameraState(0, true, u"IP"_s, QByteArray(306, '*')) + ServerQuits() + KeepAlive() +
            ShowWindows();
    int bad = 0;
    const QList<TStateMessage> m = ReadStateMessages(text, &bad);
    QCOMPARE(bad, 0);
    QByteArray letters;
    for (const TStateMessage& one : m)
        letters.append(one.Letter);
    QCOMPARE(letters, QByteArray("XTFKCREQMPHHSWV"));
    QCOMPARE(m[1].Id, 1);
    QCOMPARE(m[1].Value, quint8(1));
    QCOMPARE(m[1].Text, u"*pF004"_s);
    QCOMPARE(m[2].Id, 2);
    QCOMPARE(m[2].Text, u"Fronta"_s);
    QCOMPARE(ReadQueueState(m[3].Body.constData()).NextNumber, 0x4b702a);
    QCOMPARE(m[5].Body, record);
    QCOMPARE(m[7].Id, 1);
    QCOMPARE(m[7].Value, quint8(2));
    QCOMPARE(m[8].Value, quint8(1));
    QCOMPARE(m[9].Text, u"Tisková skříňka"_s);
    QCOMPARE(m[9].Value, quint8(1));
    QCOMPARE(m[9].Value2, quint8(2));
    QCOMPARE(m[10].Id, 2);
    QCOMPARE(m[11].Id, 0);
    QCOMPARE(m[11].Value, quint8(1));
    QCOMPARE(m[11].Text, u"IP"_s);
    QCOMPARE(m[11].Body, QByteArray(306, '*'));
}

void TestStationMessage::candidateListDelimitedByItsOwnEnd() {
    QByteArray text = CandidateListStart(2);
    AppendCandidate(text, 2, Record('a').constData());
    text += CandidateListStart(4);
    AppendCandidate(text, 4, Record('b').constData());
    text += CandidateListEnd(4);
    AppendCandidate(text, 2, Record('c').constData());
    text += CandidateListEnd(2);
    const QList<TStateMessage> m = ReadStateMessages(text);
    const TCandidateList two = FindCandidateList(m, 2);
    QVERIFY(two.Present);
    QCOMPARE(two.Records, (QList<QByteArray>{Record('a'), Record('c')}));
    const TCandidateList four = FindCandidateList(m, 4);
    QVERIFY(four.Present);
    QCOMPARE(four.Records, QList<QByteArray>{Record('b')});
    QVERIFY(!FindCandidateList(m, 8).Present);
    // A list without its end is not taken half.
    QByteArray cut = CandidateListStart(2);
    AppendCandidate(cut, 2, Record('a').constData());
    const TCandidateList open = FindCandidateList(ReadStateMessages(cut), 2);
    QVERIFY(!open.Present);
    QVERIFY(open.Records.isEmpty());
}

void TestStationMessage::malformedStates_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("letters");
    QTest::addColumn<int>("malformed");
    QTest::newRow("truncated state") << QByteArray("*pK002\x01\x02") << QByteArray() << 1;
    QTest::newRow("truncated record then name")
        << QByteArray("*pR002abc") + QueueName(2, u"a"_s) << QByteArray("F") << 1;
    QTest::newRow("name longer than the text") << QByteArray("*pF002\x20"
                                                             "ab")
                                               << QByteArray() << 1;
    QTest::newRow("non-digit mask") << QByteArray("*pE0a2*pX") << QByteArray("X") << 1;
    QTest::newRow("unknown letter") << QByteArray("*pZ*pS") << QByteArray("S") << 1;
    QTest::newRow("garbage") << QByteArray("\xff\x00*pV", 5) << QByteArray("V") << 1;
    QTest::newRow("camera block missing") << QByteArray("*pH0001\x02IP") << QByteArray() << 1;
    QTest::newRow("camera without block")
        << QByteArray("*pH0000\x02IP*pX") << QByteArray("HX") << 0;
}

void TestStationMessage::malformedStates() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, letters);
    QFETCH(int, malformed);
    int bad = 0;
    QByteArray got;
    for (const TStateMessage& m : ReadStateMessages(text, &bad))
        got.append(m.Letter);
    QCOMPARE(got, letters);
    QCOMPARE(bad, malformed);
}

void TestStationMessage::countersSeeMalformedRuns() {
    const int commands = Counters().MalformedCommands;
    const int states = Counters().MalformedStates;
    CutCommands("*pZ*pD0*pX");
    ReadStateMessages("*pK0");
    QCOMPARE(Counters().MalformedCommands - commands, 2);
    QCOMPARE(Counters().MalformedStates - states, 1);
}

QTEST_GUILESS_MAIN(TestStationMessage)
#include "tst_stationmessage.moc"
