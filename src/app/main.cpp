// lobrana: the waiting room's main program, with windows or headless (--headless).

#include "app/basicoperator.h"
#include "app/headless.h"
#include "app/wiring.h"
#include "engine/editors/formsetup.h"
#include "engine/editors/messageboxprompt.h"
#include "engine/helpers.h"
#include "engine/setuptree.h"

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
    app.setQuitOnLastWindowClosed(true);
    SetConfigurationName(ConfigurationArgument(app.arguments()));
    PrepareProgramFolder();
    TMessageBoxPrompt prompt;
    TUserPrompt::Install(&prompt);
    RegisterEditorPages();

    auto tree = std::make_unique<TSetupTree>();
    RegisterSubsystems(*tree);
    TBasicOperator operatorSide(&tree->ConnectNode);
    tree->Operator = &operatorSide;
    auto form = std::make_unique<TFormSetup>(tree.get());
    form->Loaded();
    form->show();
    int status = app.exec();
    form.reset();
    tree->Operator = nullptr;
    tree.reset();
    TUserPrompt::Install(nullptr);
    return status;
}
