// lobrana: the waiting room's main program, with windows or headless (--headless).

#include "app/headless.h"
#include "app/wiring.h"
#include "engine/editors/formsetup.h"
#include "engine/editors/messageboxprompt.h"
#include "engine/helpers.h"
#include "engine/setuptree.h"
#include "operator/formmainlobrana.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstring>
#include <memory>

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
    SetConfigurationName(ConfigurationArgument(app.arguments()));
    PrepareProgramFolder();
    TMessageBoxPrompt prompt;
    TUserPrompt::Install(&prompt);
    RegisterEditorPages();

    auto tree = std::make_unique<TSetupTree>();
    RegisterSubsystems(*tree);
    auto operatorSide = std::make_unique<TFormMainLobrana>(tree.get());
    tree->Operator = operatorSide.get();
    auto form = std::make_unique<TFormSetup>(tree.get());
    operatorSide->ShowSetup = [setup = form.get()] {
        if (setup->isVisible()) {
            setup->raise();
            setup->activateWindow();
        } else {
            setup->show();
        }
    };
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
