#include "engine/editors/uihelpers.h"

#include "engine/helpers.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

QRect Desktop() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1366, 768);
}

} // namespace

int CenteredTop(int height) {
    return CenteredStart(Desktop().height(), height);
}
int CenteredLeft(int width) {
    return CenteredStart(Desktop().width(), width);
}

void KeepTopOnDesktop(QWidget* form, int top) {
    form->move(form->x(), KeepInside(top, form->frameGeometry().height(), Desktop().height()));
}

void KeepLeftOnDesktop(QWidget* form, int left) {
    form->move(KeepInside(left, form->frameGeometry().width(), Desktop().width()), form->y());
}
