// lobrana-devsim: the print box controller, displays and door inputs of one device bus, on a
// pseudo-terminal, driven by commands on standard input, reporting as JSON lines.
#include "simrunner.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>

#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace lobrana::devsim;

namespace {

TSimRunner* g_runner = nullptr;

void OnSignal(int) {
    if (g_runner)
        g_runner->Stop();
}

void PrintLine(const QByteArray& line) {
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

const char* kCommands =
    "Commands on standard input, one per line:\n"
    "  press N [N ...]        key message with the key bits N (0..7) set\n"
    "  paper LEVEL            paper level byte 0..2 (reported with an \"E\" message)\n"
    "  fault CODE | fault none  refuse print requests with fault byte 10..14, or stop refusing\n"
    "  door INPUT VALUE       door-sensor input 0/1 becomes 0/1 (\"V\" message)\n"
    "  announce [ADDRESS]     \"R\" announcement of one device, or of all\n"
    "  text TEXT              \"X\" message with the text\n"
    "  message ADDR LETTER [HEX]  any message\n"
    "  silent [on|off] [ADDR] stop answering (all devices or one address)\n"
    "  corrupt N              corrupt the CRC of the next N frames sent\n"
    "  garbage N              put N garbage bytes before the next frame sent\n"
    "  delay MS               delay every reply by MS milliseconds\n"
    "  dup                    send the next message twice with the same sequence\n"
    "  quit\n";

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lobrana-devsim"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulates the devices of one Lobrana device bus on a pseudo-terminal.\n") +
        QString::fromLatin1(kCommands));
    parser.addHelpOption();
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Make PATH a link to the device side."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption tickets(QStringLiteral("tickets"),
                                     QStringLiteral("Write printed tickets as PNG files to DIR."),
                                     QStringLiteral("DIR"));
    const QCommandLineOption display(
        QStringLiteral("display"),
        QStringLiteral("Simulate a display at ADDRESS with ROWS rows (default 2); repeatable. "
                       "Without it: one display, address 1, two rows."),
        QStringLiteral("ADDRESS[:ROWS]"));
    const QCommandLineOption noDisplays(QStringLiteral("no-displays"),
                                        QStringLiteral("Simulate no display."));
    const QCommandLineOption noController(QStringLiteral("no-controller"),
                                          QStringLiteral("No print box controller at address 0."));
    const QCommandLineOption version(QStringLiteral("sw-version"),
                                     QStringLiteral("Announced version (default 1.0)."),
                                     QStringLiteral("MAJOR.MINOR"));
    const QCommandLineOption name(QStringLiteral("name"),
                                  QStringLiteral("Announced name (default lobrana-devsim)."),
                                  QStringLiteral("TEXT"));
    const QCommandLineOption baud(QStringLiteral("baud"),
                                  QStringLiteral("Line speed for pacing (default 57600)."),
                                  QStringLiteral("BITS"));
    const QCommandLineOption pace(QStringLiteral("pace"),
                                  QStringLiteral("Deliver bytes at the line speed."));
    const QCommandLineOption announce(QStringLiteral("announce"),
                                      QStringLiteral("Announce every device at start."));
    parser.addOptions(
        {link, tickets, display, noDisplays, noController, version, name, baud, pace, announce});
    parser.process(app);

    TSimConfig config;
    config.ticketsDir = parser.value(tickets);
    config.controller = !parser.isSet(noController);
    config.pace = parser.isSet(pace);
    if (parser.isSet(baud)) {
        bool ok = false;
        config.baud = parser.value(baud).toInt(&ok);
        if (!ok || config.baud <= 0) {
            std::fprintf(stderr, "lobrana-devsim: --baud needs a positive number\n");
            return 2;
        }
    }
    if (parser.isSet(name))
        config.name = parser.value(name);
    if (parser.isSet(version)) {
        const QStringList parts = parser.value(version).split(u'.');
        bool ok1 = false;
        bool ok2 = parts.size() < 2;
        config.versionMajor = parts.value(0).toInt(&ok1);
        if (parts.size() >= 2)
            config.versionMinor = parts[1].toInt(&ok2);
        if (!ok1 || !ok2 || config.versionMajor < 0 || config.versionMajor > 255 ||
            config.versionMinor < 0 || config.versionMinor > 255) {
            std::fprintf(stderr, "lobrana-devsim: --sw-version needs MAJOR.MINOR (0..255)\n");
            return 2;
        }
    }
    if (parser.isSet(noDisplays) || parser.isSet(display))
        config.displays.clear();
    for (const QString& value : parser.values(display)) {
        const QStringList parts = value.split(u':');
        bool ok1 = false;
        bool ok2 = parts.size() < 2;
        TDisplayConfig d;
        d.address = parts[0].toInt(&ok1);
        if (parts.size() >= 2)
            d.rows = parts[1].toInt(&ok2);
        if (!ok1 || !ok2 || d.address < 1 || d.address > 255 || d.rows < 1 || d.rows > 5) {
            std::fprintf(stderr,
                         "lobrana-devsim: --display needs ADDRESS (1..255)[:ROWS (1..5)]\n");
            return 2;
        }
        config.displays.append(d);
    }

    try {
        TSimRunner runner(config, [](const QJsonObject& event) {
            PrintLine(QJsonDocument(event).toJson(QJsonDocument::Compact));
        });
        QString path = runner.DevicePath();
        if (parser.isSet(link)) {
            QString error;
            if (!runner.MakeLink(parser.value(link), &error)) {
                std::fprintf(stderr, "lobrana-devsim: %s\n", qPrintable(error));
                return 1;
            }
            path = parser.value(link);
        }
        PrintLine(path.toLocal8Bit());
        QJsonArray displays;
        for (const TDisplayConfig& d : std::as_const(config.displays))
            displays.append(
                QJsonObject{{QStringLiteral("addr"), d.address}, {QStringLiteral("rows"), d.rows}});
        PrintLine(QJsonDocument(QJsonObject{{QStringLiteral("event"), QStringLiteral("ready")},
                                            {QStringLiteral("path"), path},
                                            {QStringLiteral("device"), runner.DevicePath()},
                                            {QStringLiteral("controller"), config.controller},
                                            {QStringLiteral("displays"), displays},
                                            {QStringLiteral("baud"), config.baud},
                                            {QStringLiteral("pace"), config.pace}})
                      .toJson(QJsonDocument::Compact));
        g_runner = &runner;
        std::signal(SIGINT, OnSignal);
        std::signal(SIGTERM, OnSignal);
        std::signal(SIGPIPE, SIG_IGN);
        if (parser.isSet(announce))
            runner.Post(QStringLiteral("announce"));
        const int rc = runner.Run(STDIN_FILENO);
        g_runner = nullptr;
        return rc;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lobrana-devsim: %s\n", e.what());
        return 1;
    }
}
