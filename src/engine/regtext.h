#pragma once

#include "engine/registry.h"

#include <QByteArray>
#include <QString>

// The readable text form of a key tree, used for configuration backups:
//
//   ; Lobrana configuration
//   [Queues\002]
//   "Name"=text:"K sestře"
//   "Count Out"=int:5
//
// Key paths are relative to the root the text was exported from; names and texts are quoted
// with C escapes, date-times keep all their digits, binary data is hex.
namespace RegText {

// Exports the key at root + "\" + relative and everything below it. False when it is missing.
bool Export(TConfigStore& store, const QString& root, const QString& relative, QByteArray& out);

// Replaces the tree named by the text's first key with the text's content, in one transaction.
// On a malformed text nothing is changed and error says why.
bool Import(TConfigStore& store, const QString& root, const QByteArray& text, QString* error);

QString Quote(const QString& text);
// "int", "text", "bool", "datetime" or "binary".
QString TypeName(TValueType type);
// The data as the text form writes it; texts quoted only when asked.
QString DataText(const TRegValue& value, bool quoteText);
// Reads data of the named type into value (its name untouched). False when malformed.
bool ParseData(const QString& type, const QString& data, bool quotedText, TRegValue& value);
// Reads a quoted text starting at pos (at the opening quote); pos ends after the closing quote.
bool Unquote(const QString& line, qsizetype& pos, QString& out);

} // namespace RegText
