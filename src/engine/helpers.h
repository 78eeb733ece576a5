#pragma once

#include <QDateTime>
#include <QString>

// Small helpers shared by the whole engine.

// The configuration name from the command line ("" for the default configuration).
void SetConfigurationName(const QString& name);
QString ConfigurationName();

// "\Software\Vantrel\Waiting room" (plus " " and the configuration name) followed by nothing (0),
// "\Tickets Repository" (1), "\Client" (2) or "\Client\IP Camera" (3).
QString RootKeyPath(int selector = 0);

QString PadNumber3(int value);
QString PadNumber2(int value);
// Keeps 0-9, '+' and '-' and converts the rest; an empty or malformed remainder gives 0.
int ParseNumber(const QString& text);
// Integer power; an exponent of 0 or less gives 1.
int Power(int base, int exponent);
// Binary logarithm rounded to the nearest integer (a queue mask back to its number); 0 for
// values below 1.
int Log2(int value);
// The time of day as "h:mm" (8:07).
QString ShortTime(const QDateTime& time);
QString ShortTime(double dateTimeNumber);

// Half of the free space, at least 0.
int CenteredStart(int desktopExtent, int size);
// The start moved back so that [start, start + size) ends inside [0, desktopExtent).
int KeepInside(int start, int size, int desktopExtent);

// The program folder: $LOBRANA_HOME, else $XDG_DATA_HOME/lobrana, else ~/.local/share/lobrana.
QString ProgramFolder();
// The folder of the user's configuration hive: $XDG_CONFIG_HOME/lobrana, else ~/.config/lobrana.
QString UserConfigFolder();
// Creates the program folder and its data folders, and copies the shipped assets that are
// missing. Returns false when the folder cannot be created.
bool PrepareProgramFolder();
// Where the assets that ship with the program lie (empty when none is found).
QString AssetsFolder();

// Paths are stored with '/'; a stored '\' is read as '/'.
QString NormalizeStoredPath(const QString& path);
// A path inside the program folder loses that prefix; any other comes back unchanged.
QString RelativeToProgram(const QString& path);
// An absolute path comes back unchanged; any other is appended to the program folder.
QString AbsoluteFromProgram(const QString& name);
// The file name without its folder and extension.
QString BaseName(const QString& path);
