#pragma once

#include <QLineEdit>

// The global hot keys of this user: a common modifier set and three keys, as virtual key codes.
struct THotKeys {
    int Shifts = 6; // Alt 1, Ctrl 2, Shift 4
    int Invite = 68;
    int NotBecome = 78;
    int OpenDoorLock = 79;
    // From "\Hot Keys" under the client key (created when missing); defaults for missing values.
    static THotKeys Read();
    void Write() const;
};

namespace HotKeyNames {
// The name of a virtual key ("D", "F1", "Numeric keypad 5", "Page Up", the code otherwise).
QString KeyName(int code);
// "Shift", "Ctrl", "Alt" for the modifier flags, in this order, separated by blanks.
QString ModifierNames(int flags);
// The modifiers and the key separated by blanks ("Shift Ctrl D").
QString Combination(int flags, int code);
// The virtual key code of a Qt key, 0 when it has none.
int VirtualKey(int qtKey, Qt::KeyboardModifiers modifiers);
} // namespace HotKeyNames

// A read-only box that captures one key press with its modifiers and shows it.
class TEditHotKeyVtl : public QLineEdit {
    Q_OBJECT
public:
    enum TShowHotKey { shkHotShiftKey, tshkHotKey, shkHotShift };

    explicit TEditHotKeyVtl(QWidget* parent = nullptr);

    int Key() const { return KeyCode; }
    void SetKey(int code);
    int ModifierFlags() const { return Modifiers; }
    void SetModifierFlags(int flags);
    TShowHotKey ShowHotKey() const { return Show; }
    void SetShowHotKey(TShowHotKey value);
    QString KeyText() const;

signals:
    void HotKeyChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    int KeyCode = 0;
    int Modifiers = 0;
    TShowHotKey Show = shkHotShiftKey;
};
