#pragma once

#include <QString>

// The one seam through which the engine asks the user something. A program with windows puts
// message boxes behind it; without one (a server, a test) the installed answerer decides, and
// by default every question is declined and nothing is shown.
class IUserPrompt {
public:
    virtual ~IUserPrompt() = default;
    // A question with the buttons Yes and No; true for Yes.
    virtual bool Confirm(const QString& text) = 0;
    // A message with an OK button.
    virtual void Inform(const QString& text) = 0;
};

namespace TUserPrompt {

// Installs the answerer (not owned); nullptr restores the silent default.
void Install(IUserPrompt* prompt);
IUserPrompt* Installed();
bool Confirm(const QString& text);
void Inform(const QString& text);

} // namespace TUserPrompt
