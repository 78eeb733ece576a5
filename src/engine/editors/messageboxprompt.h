#pragma once

#include "engine/userprompt.h"

// Questions and messages as message boxes, for the program with windows.
class TMessageBoxPrompt : public IUserPrompt {
public:
    bool Confirm(const QString& text) override;
    void Inform(const QString& text) override;
};
