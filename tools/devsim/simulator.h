#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>

namespace lobrana::devsim {

struct TDisplayConfig {
    int address = 1;
    int rows = 2;
};

struct TSimConfig {
    int versionMajor = 1;
    int versionMinor = 0;
    QString name = QStringLiteral("lobrana-devsim");
    bool controller = true; // the print box controller at address 0
    QList<TDisplayConfig> displays{TDisplayConfig{}};
    int baud = 57600;
    bool pace = false;  // deliver bytes only as fast as the line would
    QString ticketsDir; // PNG files of the printed tickets; none when empty
    int messageRetryMs = 1000;
    int messageTries = 3;
};

// The devices on one bus, without any I/O: bytes from the master go in through Feed, frames to
// the master come out through `send`, everything seen and done is reported through `report`.
// Time is passed in (milliseconds), so tests can drive it.
class TBusSimulator {
public:
    using SendFn = std::function<void(const QByteArray& frame, int delayMs)>;
    using ReportFn = std::function<void(const QJsonObject& event)>;

    TBusSimulator(TSimConfig config, SendFn send, ReportFn report);

    void Feed(QByteArrayView bytes, qint64 now);
    // Resends unanswered messages; returns the time of the next thing to do, or -1.
    qint64 Tick(qint64 now);
    // One command line; returns false after "quit". Errors are reported, never raised.
    bool Command(const QString& line, qint64 now);

    const TSimConfig& Config() const { return m_config; }
    int TicketCount() const { return m_tickets; }

private:
    struct Display {
        int address = 1;
        int rows = 2;
        QByteArray digits = QByteArray(15, '\0');
        QByteArray blink = QByteArray(10, '\0');
        QStringList lastRows;
        int brightness = -1;
    };
    struct Message {
        std::uint8_t address = 0;
        std::uint8_t sequence = 0;
        char command = 0;
        QByteArray data;
        int tries = 0;
        qint64 sentAt = 0;
    };
    struct PrintJob {
        int length = 0;
        int lines = 0;
        QByteArray data;
        bool active = false;
    };

    void HandleFrame(std::uint8_t address, std::uint8_t sequence, char command,
                     const QByteArray& data, qint64 now);
    void HandleRequest(std::uint8_t address, std::uint8_t sequence, char command,
                       const QByteArray& data, qint64 now);
    std::optional<QByteArray> ControllerRequest(char command, const QByteArray& data, qint64 now,
                                                bool& accepted);
    std::optional<QByteArray> DisplayRequest(Display& display, char command, const QByteArray& data,
                                             bool& accepted);
    void FinishPrintJob(qint64 now);
    void Reply(std::uint8_t address, std::uint8_t sequence, char command, const QByteArray& data);
    void QueueMessage(std::uint8_t address, char command, const QByteArray& data, qint64 now);
    void SendNextMessage(qint64 now);
    void Transmit(const QByteArray& frame, int delayMs);
    void ReportFrame(const char* dir, const QByteArray& frame, bool crcOk);
    void Announce(int address, qint64 now);
    void PrinterReport(qint64 now);
    QByteArray Frame(std::uint8_t address, std::uint8_t sequence, char command,
                     const QByteArray& data) const;
    void Error(const QString& text);
    Display* FindDisplay(int address);
    bool IsSilent(int address) const;

    TSimConfig m_config;
    SendFn m_send;
    ReportFn m_report;
    QByteArray m_rx;
    std::map<int, Display> m_displays;
    struct LastRequest {
        bool valid = false;
        std::uint8_t sequence = 0;
        char command = 0;
        QByteArray data;
        qint64 at = 0;
    };
    std::map<int, LastRequest> m_lastRequest;
    std::deque<Message> m_outbox; // front is in flight once sent
    bool m_inFlight = false;
    std::uint8_t m_messageSequence = 0;
    int m_paperLevel = 0;
    int m_fault = -1;
    int m_doorInputs = 0;
    PrintJob m_job;
    int m_tickets = 0;
    // Fault modes.
    bool m_silentAll = false;
    QList<int> m_silentAddresses;
    int m_corruptNext = 0;
    int m_garbageNext = 0;
    int m_delayMs = 0;
    bool m_duplicateNext = false;
    quint32 m_random = 12345;
};

QString SegmentsToText(QByteArrayView codes); // seven-segment codes back to characters

} // namespace lobrana::devsim
