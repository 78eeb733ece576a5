#include "engine/userprompt.h"

namespace {

IUserPrompt*& Current() {
    static IUserPrompt* prompt = nullptr;
    return prompt;
}

} // namespace

namespace TUserPrompt {

void Install(IUserPrompt* prompt) {
    Current() = prompt;
}
IUserPrompt* Installed() {
    return Current();
}
bool Confirm(const QString& text) {
    return Current() ? Current()->Confirm(text) : false;
}

void Inform(const QString& text) {
    if (Current())
        Current()->Inform(text);
}

} // namespace TUserPrompt
