#pragma once

#include <QWidget>

// Places of windows on the desktop.
int CenteredTop(int height);
int CenteredLeft(int width);
// Sets the form's top (left) to the value, moved up (left) so the form ends inside the desktop.
void KeepTopOnDesktop(QWidget* form, int top);
void KeepLeftOnDesktop(QWidget* form, int left);
