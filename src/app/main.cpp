// lobrana: the waiting room's main program, with windows or headless (--headless).

#include "app/headless.h"
#include "app/wiring.h"
#include "engine/editors/formsetup.h"
#include "engine/editors/messageboxprompt.h"
#include "engine/helpers.h"
#include "engine/setuptree.h"
#include "link/messagebus.h"
#include "operator/formmainlobrana.h"

#include <QApplication>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstring>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

bool HasFlag(int argc, char** argv, const char* flag) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], flag) == 0)
            return true;
    return false;
}

// The first argument that is not an option names the configuration.
QString ConfigurationArgument(const QStringList& args) {
    for (int i = 1; i < args.size(); ++i)
        if (!args[i].startsWith(u"--"_s))
            return args[i];
    return {};
}

int SignalPipe[2] = {-1, -1};

void OnSignal(int) {
    char c = 1;
    [[maybe_unused]] auto n = ::write(SignalPipe[1], &c, 1);
}

} // namespace

int main(int argc, char** argv) {
    if (HasFlag(argc, argv, "--headless")) {
        QCoreApplication app(argc, argv);
        app.setApplicationName(u"Lobrana"_s);
        return RunHeadless(ConfigurationArgument(app.arguments()));
    }
    QApplication app(argc, argv);
    app.setApplicationName(u"Lobrana"_s);
    // A tray program: closing its windows does not end it; "Vypnutí Zorozaz" does.
    app.setQuitOnLastWindowClosed(false);
    const QString configuration = ConfigurationArgument(app.arguments());
    SetConfigurationName(configuration);

    // One program per configuration: a second start asks the running one to show its operator
    // windows and ends before any engine starts.
    TMessageBus bus;
    if (!bus.Register())
        qWarning("Lobrana: no program message bus; other programs cannot reach this one");
    if (const quint32 running = bus.FindAnnounced(configuration)) {
        switch (bus.Deliver(running, ProgramMessage::Request(ProgramMessage::ShowQueues))) {
        case TMessageBus::TDelivery::Delivered:
            return 0;
        case TMessageBus::TDelivery::NoAnswer:
            // It is there but busy: a second engine on the same data must not start.
            qCritical("Lobrana: this configuration already runs but does not answer");
            return 1;
        case TMessageBus::TDelivery::Absent:
            break; // it ended without withdrawing its announcement
        }
    }
    PrepareProgramFolder();
    TMessageBoxPrompt prompt;
    TUserPrompt::Install(&prompt);
    RegisterEditorPages();

    auto tree = std::make_unique<TSetupTree>();
    RegisterSubsystems(*tree);
    auto operatorSide = std::make_unique<TFormMainLobrana>(tree.get());
    tree->Operator = operatorSide.get();
    operatorSide->SetBus(&bus, configuration);
    auto form = std::make_unique<TFormSetup>(tree.get());
    operatorSide->ShowSetup = [setup = form.get()] {
        if (setup->isVisible()) {
            setup->raise();
            setup->activateWindow();
        } else {
            setup->show();
        }
    };
    // SIGTERM and SIGINT end the program as "Vypnutí Zorozaz" does.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, SignalPipe) != 0)
        return 1;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    QSocketNotifier notifier(SignalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&operatorSide] {
        char c;
        [[maybe_unused]] auto n = ::read(SignalPipe[0], &c, 1);
        operatorSide->ShutdownWork();
        QCoreApplication::quit();
    });
    form->Loaded();
    int status = app.exec();
    operatorSide->ShutdownWork();
    form.reset();
    tree->Operator = nullptr;
    operatorSide.reset();
    tree.reset();
    TUserPrompt::Install(nullptr);
    return status;
}
