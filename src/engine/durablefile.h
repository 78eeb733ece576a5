#pragma once

#include <QByteArray>
#include <QString>

// Replaces a file so that a reader, even after a crash or a power cut, finds either the old
// or the new complete contents: the bytes go to "<path>.tmp" in the same folder, are flushed
// to disk, and the temporary file is renamed over the old one; then the folder is flushed so
// that the rename itself lasts. False (and the old file untouched) on any error.
bool WriteFileDurably(const QString& path, const QByteArray& bytes);

// The whole file, or an empty array with ok false when it cannot be read.
QByteArray ReadWholeFile(const QString& path, bool* ok = nullptr);
