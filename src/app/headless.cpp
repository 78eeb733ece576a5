#include "app/headless.h"

#include "app/basicoperator.h"
#include "app/wiring.h"
#include "engine/helpers.h"
#include "engine/setuptree.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int SignalPipe[2] = {-1, -1};

void OnSignal(int) {
    char c = 1;
    [[maybe_unused]] auto n = ::write(SignalPipe[1], &c, 1);
}

} // namespace

int RunHeadless(const QString& configurationName) {
    SetConfigurationName(configurationName);
    PrepareProgramFolder();
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, SignalPipe) != 0)
        return 1;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    TSetupTree tree;
    RegisterSubsystems(tree);
    TBasicOperator operatorSide(&tree.ConnectNode);
    tree.Operator = &operatorSide;
    QSocketNotifier notifier(SignalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&tree] {
        char c;
        [[maybe_unused]] auto n = ::read(SignalPipe[0], &c, 1);
        tree.Shutdown();
        QCoreApplication::quit();
    });
    tree.Start();
    int status = QCoreApplication::exec();
    tree.Shutdown();
    tree.Operator = nullptr;
    return status;
}
