#include "engine/editors/messageboxprompt.h"

#include <QApplication>
#include <QMessageBox>

bool TMessageBoxPrompt::Confirm(const QString& text) {
    return QMessageBox::question(QApplication::activeWindow(), QApplication::applicationName(),
                                 text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void TMessageBoxPrompt::Inform(const QString& text) {
    QMessageBox::information(QApplication::activeWindow(), QApplication::applicationName(), text);
}
