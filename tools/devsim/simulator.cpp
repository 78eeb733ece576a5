#include "simulator.h"

#include "devices/crc16.h"
#include "devices/modifiedhuffman.h"

#include <QDir>
#include <QImage>
#include <QJsonArray>

namespace lobrana::devsim {

using devices::Crc16;

namespace {

constexpr int kTicketWidth = 576;

QString Hex(QByteArrayView bytes) {
    return QString::fromLatin1(bytes.toByteArray().toHex(' '));
}

QString Letter(char c) {
    const auto u = std::uint8_t(c);
    if (u >= 0x20 && u < 0x7F)
        return QString(QChar::fromLatin1(c));
    return QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
}

} // namespace

QString SegmentsToText(QByteArrayView codes) {
    QString text;
    for (char c : codes) {
        const auto code = std::uint8_t(c);
        QChar ch = u'?';
        switch (code & 0x7F) {
        case 0x3F:
            ch = u'0';
            break;
        case 0x06:
            ch = u'1';
            break;
        case 0x5B:
            ch = u'2';
            break;
        case 0x4F:
            ch = u'3';
            break;
        case 0x66:
            ch = u'4';
            break;
        case 0x6D:
            ch = u'5';
            break;
        case 0x7D:
            ch = u'6';
            break;
        case 0x07:
            ch = u'7';
            break;
        case 0x7F:
            ch = u'8';
            break;
        case 0x6F:
            ch = u'9';
            break;
        case 0x40:
            ch = u'-';
            break;
        case 0x00:
            ch = u' ';
            break;
        default:
            break;
        }
        text.append(ch);
        if (code & 0x80)
            text.append(u'.');
    }
    return text;
}

TBusSimulator::TBusSimulator(TSimConfig config, SendFn send, ReportFn report)
    : m_config(std::move(config)), m_send(std::move(send)), m_report(std::move(report)) {
    for (const TDisplayConfig& d : std::as_const(m_config.displays)) {
        Display display;
        display.address = d.address;
        display.rows = std::clamp(d.rows, 1, 5);
        m_displays[d.address] = display;
    }
}

QByteArray TBusSimulator::Frame(std::uint8_t address, std::uint8_t sequence, char command,
                                const QByteArray& data) const {
    QByteArray frame;
    frame.append('*');
    frame.append(char(address));
    frame.append(char(sequence));
    frame.append(command);
    frame.append(char(std::min<qsizetype>(data.size(), 255)));
    frame.append(data.left(255));
    frame.append(2, '\0');
    Crc16(reinterpret_cast<std::uint8_t*>(frame.data()) + 1, int(frame.size()) - 3, 1);
    return frame;
}

void TBusSimulator::Error(const QString& text) {
    m_report(QJsonObject{{QStringLiteral("event"), QStringLiteral("error")},
                         {QStringLiteral("text"), text}});
}

void TBusSimulator::ReportFrame(const char* dir, const QByteArray& frame, bool crcOk) {
    QJsonObject o{{QStringLiteral("dir"), QString::fromLatin1(dir)},
                  {QStringLiteral("addr"), int(std::uint8_t(frame[1]))},
                  {QStringLiteral("seq"), int(std::uint8_t(frame[2]))},
                  {QStringLiteral("cmd"), Letter(frame[3])},
                  {QStringLiteral("len"), int(std::uint8_t(frame[4]))},
                  {QStringLiteral("data"), Hex(frame.mid(5, frame.size() - 7))},
                  {QStringLiteral("raw"), Hex(frame)},
                  {QStringLiteral("crc"), crcOk}};
    m_report(o);
}

TBusSimulator::Display* TBusSimulator::FindDisplay(int address) {
    const auto it = m_displays.find(address);
    return it == m_displays.end() ? nullptr : &it->second;
}

bool TBusSimulator::IsSilent(int address) const {
    return m_silentAll || m_silentAddresses.contains(address);
}

void TBusSimulator::Transmit(const QByteArray& frame, int delayMs) {
    QByteArray bytes = frame;
    bool crcOk = true;
    if (m_corruptNext > 0) {
        --m_corruptNext;
        bytes[bytes.size() - 1] = char(bytes[bytes.size() - 1] ^ 0x5A);
        crcOk = false;
    }
    ReportFrame("tx", bytes, crcOk);
    if (m_garbageNext > 0) {
        QByteArray garbage;
        for (int i = 0; i < m_garbageNext; ++i) {
            m_random = m_random * 1103515245u + 12345u;
            char b = char(m_random >> 16);
            if (b == '*')
                b = '+';
            garbage.append(b);
        }
        m_report(QJsonObject{{QStringLiteral("event"), QStringLiteral("garbage")},
                             {QStringLiteral("data"), Hex(garbage)}});
        bytes.prepend(garbage);
        m_garbageNext = 0;
    }
    m_send(bytes, delayMs);
}

void TBusSimulator::Feed(QByteArrayView bytes, qint64 now) {
    m_rx.append(bytes.data(), bytes.size());
    for (;;) {
        const qsizetype mark = m_rx.indexOf('*');
        if (mark < 0) {
            if (!m_rx.isEmpty())
                m_report(QJsonObject{{QStringLiteral("event"), QStringLiteral("skipped")},
                                     {QStringLiteral("data"), Hex(m_rx)}});
            m_rx.clear();
            return;
        }
        if (mark > 0) {
            m_report(QJsonObject{{QStringLiteral("event"), QStringLiteral("skipped")},
                                 {QStringLiteral("data"), Hex(m_rx.first(mark))}});
            m_rx.remove(0, mark);
        }
        if (m_rx.size() < 7)
            return;
        const int length = std::uint8_t(m_rx[4]) + 7;
        if (m_rx.size() < length)
            return;
        QByteArray frame = m_rx.first(length);
        const bool ok = Crc16(reinterpret_cast<std::uint8_t*>(frame.data()) + 1, length - 3, 2);
        if (!ok) {
            ReportFrame("rx", frame, false);
            m_rx.remove(0, 1); // look for the next start mark inside the rejected bytes
            continue;
        }
        m_rx.remove(0, length);
        ReportFrame("rx", frame, true);
        HandleFrame(std::uint8_t(frame[1]), std::uint8_t(frame[2]), frame[3],
                    frame.mid(5, length - 7), now);
    }
}

void TBusSimulator::HandleFrame(std::uint8_t address, std::uint8_t sequence, char command,
                                const QByteArray& data, qint64 now) {
    if (command == 'A' || command == 'N') {
        // The master's answer to one of our messages.
        if (m_inFlight && !m_outbox.empty() && m_outbox.front().address == address &&
            m_outbox.front().sequence == sequence) {
            const Message done = m_outbox.front();
            m_outbox.pop_front();
            m_inFlight = false;
            m_report(QJsonObject{{QStringLiteral("event"), QStringLiteral("answered")},
                                 {QStringLiteral("addr"), int(address)},
                                 {QStringLiteral("seq"), int(sequence)},
                                 {QStringLiteral("msg"), Letter(done.command)},
                                 {QStringLiteral("reply"), Letter(command)},
                                 {QStringLiteral("data"), Hex(data)}});
            SendNextMessage(now);
        }
        return;
    }
    HandleRequest(address, sequence, command, data, now);
}

void TBusSimulator::HandleRequest(std::uint8_t address, std::uint8_t sequence, char command,
                                  const QByteArray& data, qint64 now) {
    Display* display = FindDisplay(address);
    const bool isController = address == 0 && m_config.controller;
    if ((!isController && !display) || IsSilent(address))
        return;
    // The same request again, with its sequence, soon after: refused and not acted on again.
    LastRequest& last = m_lastRequest[address];
    if (last.valid && last.sequence == sequence && last.command == command && last.data == data &&
        now - last.at < 2000) {
        Reply(address, sequence, 'N', {});
        return;
    }
    last = LastRequest{true, sequence, command, data, now};
    bool accepted = false;
    std::optional<QByteArray> replyData = isController
                                              ? ControllerRequest(command, data, now, accepted)
                                              : DisplayRequest(*display, command, data, accepted);
    Reply(address, sequence, accepted ? 'A' : 'N', replyData.value_or(QByteArray()));
    if (isController && accepted && command == 'T' && m_job.active &&
        m_job.data.size() >= m_job.length)
        FinishPrintJob(now);
}

void TBusSimulator::Reply(std::uint8_t address, std::uint8_t sequence, char command,
                          const QByteArray& data) {
    Transmit(Frame(address, sequence, command, data), m_delayMs);
}

std::optional<QByteArray> TBusSimulator::ControllerRequest(char command, const QByteArray& data,
                                                           qint64 now, bool& accepted) {
    accepted = true;
    const bool printing = command == 'P' || command == 'T' || command == 'C';
    if (printing && m_fault >= 0) {
        accepted = false;
        return QByteArray(1, char(m_fault));
    }
    switch (command) {
    case 'W':
        return std::nullopt;
    case 'S':
        m_report(QJsonObject{
            {QStringLiteral("event"), QStringLiteral("setup")},
            {QStringLiteral("addr"), 0},
            {QStringLiteral("data"), Hex(data)},
            {QStringLiteral("stop"), !data.isEmpty() && std::uint8_t(data[0]) == 0xFF}});
        return std::nullopt;
    case 'B':
        m_report(QJsonObject{{QStringLiteral("event"), QStringLiteral("beep")},
                             {QStringLiteral("data"), Hex(data)}});
        return std::nullopt;
    case 'O':
        if (data.size() >= 3) {
            m_report(
                QJsonObject{{QStringLiteral("event"), QStringLiteral("lock")},
                            {QStringLiteral("output"), int(std::uint8_t(data[0]))},
                            {QStringLiteral("state"), data[2] == 0 ? QStringLiteral("unlocked")
                                                                   : QStringLiteral("locked")}});
            return std::nullopt;
        }
        break;
    case 'P':
        if (data.size() >= 4) {
            m_job = PrintJob{};
            m_job.active = true;
            m_job.length = (std::uint8_t(data[0]) << 8) | std::uint8_t(data[1]);
            m_job.lines = (std::uint8_t(data[2]) << 8) | std::uint8_t(data[3]);
            m_report(QJsonObject{{QStringLiteral("event"), QStringLiteral("print-header")},
                                 {QStringLiteral("bytes"), m_job.length},
                                 {QStringLiteral("lines"), m_job.lines}});
            if (m_job.length == 0)
                FinishPrintJob(now);
            return std::nullopt;
        }
        break;
    case 'T':
        if (m_job.active) {
            m_job.data.append(data);
            return std::nullopt;
        }
        break;
    case 'C':
        m_report(QJsonObject{{QStringLiteral("event"), QStringLiteral("cut")},
                             {QStringLiteral("data"), Hex(data)}});
        PrinterReport(now);
        return std::nullopt;
    default:
        break;
    }
    accepted = false;
    return std::nullopt;
}

std::optional<QByteArray> TBusSimulator::DisplayRequest(Display& display, char command,
                                                        const QByteArray& data, bool& accepted) {
    accepted = true;
    switch (command) {
    case 'S':
        display.brightness = data.isEmpty() ? -1 : int(std::uint8_t(data[0]));
        m_report(QJsonObject{{QStringLiteral("event"), QStringLiteral("setup")},
                             {QStringLiteral("addr"), display.address},
                             {QStringLiteral("data"), Hex(data)},
                             {QStringLiteral("brightness"), display.brightness}});
        return std::nullopt;
    case 'D': {
        display.digits = data.left(15).leftJustified(15, '\0');
        QStringList rows;
        for (int r = 0; r < display.rows; ++r)
            rows.append(SegmentsToText(QByteArrayView(display.digits).sliced(3 * r, 3)));
        if (rows != display.lastRows) {
            display.lastRows = rows;
            m_report(QJsonObject{{QStringLiteral("event"), QStringLiteral("display")},
                                 {QStringLiteral("addr"), display.address},
                                 {QStringLiteral("rows"), QJsonArray::fromStringList(rows)}});
        }
        return std::nullopt;
    }
    case 'I': {
        const QByteArray blink = data.left(10).leftJustified(10, '\0');
        if (blink != display.blink) {
            display.blink = blink;
            QJsonArray rows;
            for (int r = 0; r < display.rows; ++r)
                rows.append(blink[2 * r] ? int(std::uint8_t(blink[2 * r + 1])) : 0);
            m_report(QJsonObject{{QStringLiteral("event"), QStringLiteral("blink")},
                                 {QStringLiteral("addr"), display.address},
                                 {QStringLiteral("rows"), rows}});
        }
        return std::nullopt;
    }
    default:
        accepted = false;
        return std::nullopt;
    }
}

void TBusSimulator::FinishPrintJob(qint64 now) {
    const PrintJob job = m_job;
    m_job = PrintJob{};
    QJsonObject o{{QStringLiteral("event"), QStringLiteral("ticket")},
                  {QStringLiteral("bytes"), int(job.data.size())},
                  {QStringLiteral("header_bytes"), job.length},
                  {QStringLiteral("header_lines"), job.lines}};
    const devices::TDleResult framed = devices::UnframeDle(job.data.left(job.length));
    const devices::TMhImage image = devices::DecodeMH(framed.code, kTicketWidth);
    QString problem = image.error;
    if (problem.isEmpty() && !framed.terminated)
        problem = QStringLiteral("print data without 0x10 0x03");
    if (problem.isEmpty() && framed.malformed)
        problem = QStringLiteral("a 0x10 not followed by 0x10 or 0x03");
    if (problem.isEmpty() && image.height != job.lines)
        problem =
            QStringLiteral("%1 lines decoded, header says %2").arg(image.height).arg(job.lines);
    o.insert(QStringLiteral("lines"), image.height);
    o.insert(QStringLiteral("short_lines"), image.badLines);
    if (!problem.isEmpty())
        o.insert(QStringLiteral("error"), problem);
    if (image.height > 0) {
        ++m_tickets;
        if (!m_config.ticketsDir.isEmpty()) {
            QImage png(kTicketWidth, image.height, QImage::Format_Mono);
            png.setColor(0, qRgb(255, 255, 255));
            png.setColor(1, qRgb(0, 0, 0));
            for (int y = 0; y < image.height; ++y)
                std::memcpy(png.scanLine(y), image.bits.constData() + qsizetype(y) * image.Stride(),
                            size_t(image.Stride()));
            QDir().mkpath(m_config.ticketsDir);
            const QString file =
                QDir(m_config.ticketsDir)
                    .filePath(
                        QStringLiteral("ticket-%1.png").arg(m_tickets, 4, 10, QLatin1Char('0')));
            if (png.save(file, "PNG"))
                o.insert(QStringLiteral("file"), file);
            else
                o.insert(QStringLiteral("error"), QStringLiteral("cannot write ") + file);
        }
    }
    m_report(o);
    PrinterReport(now); // end of the print step
}

void TBusSimulator::PrinterReport(qint64 now) {
    if (!m_config.controller)
        return;
    QByteArray data(3, '\0');
    data[2] = char(m_paperLevel);
    QueueMessage(0, 'E', data, now);
}

void TBusSimulator::Announce(int address, qint64 now) {
    const QByteArray name = m_config.name.toLatin1();
    if (address == 0) {
        if (!m_config.controller)
            return Error(QStringLiteral("no print box controller is simulated"));
        QByteArray data(39, '\0');
        data[0] = char(m_config.versionMajor);
        data[1] = char(m_config.versionMinor);
        data.replace(3, std::min<qsizetype>(name.size(), 34), name.left(34));
        data[38] = char(m_paperLevel);
        QueueMessage(0, 'R', data, now);
        return;
    }
    const Display* display = FindDisplay(address);
    if (!display)
        return Error(QStringLiteral("no display at address %1").arg(address));
    QByteArray data(36, '\0');
    data[0] = char(m_config.versionMajor);
    data[1] = char(m_config.versionMinor);
    data.replace(3, std::min<qsizetype>(name.size(), 31), name.left(31));
    data[35] = char(display->rows);
    QueueMessage(std::uint8_t(address), 'R', data, now);
}

void TBusSimulator::QueueMessage(std::uint8_t address, char command, const QByteArray& data,
                                 qint64 now) {
    if (IsSilent(address))
        return;
    Message m;
    m.address = address;
    m.command = command;
    m.data = data;
    m_outbox.push_back(m);
    SendNextMessage(now);
}

void TBusSimulator::SendNextMessage(qint64 now) {
    if (m_inFlight || m_outbox.empty())
        return;
    Message& m = m_outbox.front();
    m.sequence = m_messageSequence++; // one counter for every simulated device
    m.tries = 1;
    m.sentAt = now;
    m_inFlight = true;
    const QByteArray frame = Frame(m.address, m.sequence, m.command, m.data);
    Transmit(frame, 0);
    if (m_duplicateNext) {
        m_duplicateNext = false;
        Transmit(frame, 0);
    }
}

qint64 TBusSimulator::Tick(qint64 now) {
    if (!m_inFlight || m_outbox.empty())
        return -1;
    Message& m = m_outbox.front();
    if (now - m.sentAt < m_config.messageRetryMs)
        return m.sentAt + m_config.messageRetryMs;
    if (m.tries >= m_config.messageTries) {
        m_report(QJsonObject{{QStringLiteral("event"), QStringLiteral("unanswered")},
                             {QStringLiteral("addr"), int(m.address)},
                             {QStringLiteral("seq"), int(m.sequence)},
                             {QStringLiteral("msg"), Letter(m.command)}});
        m_outbox.pop_front();
        m_inFlight = false;
        SendNextMessage(now);
        return m_inFlight ? now + m_config.messageRetryMs : -1;
    }
    ++m.tries;
    m.sentAt = now;
    Transmit(Frame(m.address, m.sequence, m.command, m.data), 0); // same sequence: a repeat
    return now + m_config.messageRetryMs;
}

bool TBusSimulator::Command(const QString& line, qint64 now) {
    const QStringList words = line.simplified().split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return true;
    const QString verb = words[0].toLower();
    auto number = [&](int index, int low, int high, int& value) {
        bool ok = false;
        value = index < words.size() ? words[index].toInt(&ok, 0) : 0;
        if (!ok || value < low || value > high) {
            Error(
                QStringLiteral("%1: expected a number from %2 to %3").arg(verb).arg(low).arg(high));
            return false;
        }
        return true;
    };
    int a = 0;
    int b = 0;
    if (verb == u"quit") {
        return false;
    } else if (verb == u"press") {
        if (words.size() < 2)
            return Error(QStringLiteral("press: name the keys (0 to 7)")), true;
        int bits = 0;
        for (int i = 1; i < words.size(); ++i) {
            if (!number(i, 0, 7, a))
                return true;
            bits |= 1 << a;
        }
        QueueMessage(0, 'K', QByteArray(1, char(bits)), now);
    } else if (verb == u"paper") {
        if (!number(1, 0, 2, a))
            return true;
        m_paperLevel = a;
        PrinterReport(now);
    } else if (verb == u"fault") {
        if (words.size() == 2 && words[1].toLower() == u"none") {
            m_fault = -1;
            PrinterReport(now); // the printer reports that it is ready again
        } else {
            if (!number(1, 10, 14, a))
                return true;
            m_fault = a;
        }
    } else if (verb == u"door") {
        if (!number(1, 0, 1, a) || !number(2, 0, 1, b))
            return true;
        m_doorInputs = b ? (m_doorInputs | (1 << a)) : (m_doorInputs & ~(1 << a));
        QueueMessage(0, 'V', QByteArray(1, char(m_doorInputs)), now);
    } else if (verb == u"announce") {
        if (words.size() >= 2) {
            if (number(1, 0, 255, a))
                Announce(a, now);
        } else {
            if (m_config.controller)
                Announce(0, now);
            for (const auto& [address, display] : m_displays)
                Announce(address, now);
        }
    } else if (verb == u"text") {
        QueueMessage(0, 'X', line.simplified().mid(5).toLatin1(), now);
    } else if (verb == u"message") {
        // message ADDRESS LETTER [HEX]: any message, for tests
        if (!number(1, 0, 255, a) || words.size() < 3 || words[2].size() != 1)
            return Error(QStringLiteral("message: ADDRESS LETTER [HEX]")), true;
        QueueMessage(std::uint8_t(a), char(words[2][0].toLatin1()),
                     QByteArray::fromHex(words.mid(3).join(QString()).toLatin1()), now);
    } else if (verb == u"silent") {
        const bool on = words.size() < 2 || words[1].toLower() != u"off";
        if (words.size() >= 3) {
            if (!number(2, 0, 255, a))
                return true;
            m_silentAddresses.removeAll(a);
            if (on)
                m_silentAddresses.append(a);
        } else {
            m_silentAll = on;
            if (!on)
                m_silentAddresses.clear();
        }
    } else if (verb == u"corrupt") {
        if (number(1, 0, 1 << 30, a))
            m_corruptNext = a;
    } else if (verb == u"garbage") {
        if (number(1, 0, 4096, a))
            m_garbageNext = a;
    } else if (verb == u"delay") {
        if (number(1, 0, 60000, a))
            m_delayMs = a;
    } else if (verb == u"dup") {
        m_duplicateNext = true;
    } else {
        Error(QStringLiteral("unknown command: ") + words[0]);
        return true;
    }
    m_report(QJsonObject{{QStringLiteral("event"), QStringLiteral("ok")},
                         {QStringLiteral("command"), line.simplified()}});
    return true;
}

} // namespace lobrana::devsim
