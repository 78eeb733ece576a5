#pragma once

#include <QByteArray>
#include <QString>

// Decodes one-dimensional T.4 code with libtiff's CCITT Group 3 decoder. The code is given in the
// print box's form (each line followed by its end-of-line code); returns packed rows, a set bit
// black, or an empty array with `error` set.
QByteArray DecodeWithLibtiff(const QByteArray& code, int width, int lines, QString* error);
