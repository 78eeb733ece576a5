#include "operator/hotkeyedit.h"

#include "engine/helpers.h"
#include "engine/registry.h"

#include <QKeyEvent>

using namespace Qt::StringLiterals;

THotKeys THotKeys::Read() {
    THotKeys keys;
    TRegistry reg(THive::User);
    if (reg.OpenKey(RootKeyPath(2) + u"\\Hot Keys"_s, true)) {
        keys.Shifts = reg.ReadInteger(u"Shifts"_s, keys.Shifts);
        keys.Invite = reg.ReadInteger(u"Invite"_s, keys.Invite);
        keys.NotBecome = reg.ReadInteger(u"NotBecome"_s, keys.NotBecome);
        keys.OpenDoorLock = reg.ReadInteger(u"OpenDoorLock"_s, keys.OpenDoorLock);
    }
    return keys;
}

void THotKeys::Write() const {
    TRegistry reg(THive::User);
    if (!reg.OpenKey(RootKeyPath(2) + u"\\Hot Keys"_s, true))
        return;
    reg.WriteInteger(u"Shifts"_s, Shifts);
    reg.WriteInteger(u"Invite"_s, Invite);
    reg.WriteInteger(u"NotBecome"_s, NotBecome);
    reg.WriteInteger(u"OpenDoorLock"_s, OpenDoorLock);
}

namespace HotKeyNames {

QString KeyName(int code) {
    if (code >= 16 && code <= 18)
        return {};
    if ((code >= 48 && code <= 57) || (code >= 65 && code <= 90))
        return QString(QChar(code));
    if (code >= 96 && code <= 111) {
        QString name;
        if (code <= 105)
            name = QString(QChar('0' + code - 96));
        else if (code == 106)
            name = u"*"_s;
        else if (code == 107)
            name = u"+"_s;
        else if (code == 109)
            name = u"-"_s;
        else if (code == 110)
            name = u","_s;
        else if (code == 111)
            name = u"/"_s;
        else
            name = QString::number(code);
        return u"Numeric keypad "_s + name;
    }
    if (code >= 112 && code <= 135)
        return u"F"_s + QString::number(code - 111);
    switch (code) {
    case 8:
        return u"Backspace"_s;
    case 13:
        return u"Enter"_s;
    case 19:
        return u"Pause"_s;
    case 20:
        return u"Caps Lock"_s;
    case 27:
        return u"Esc"_s;
    case 32:
        return u"Space"_s;
    case 33:
        return u"Page Up"_s;
    case 34:
        return u"Page Down"_s;
    case 35:
        return u"End"_s;
    case 36:
        return u"Home"_s;
    case 37:
        return u"Left"_s;
    case 38:
        return u"Up"_s;
    case 39:
        return u"Right"_s;
    case 40:
        return u"Down"_s;
    case 45:
        return u"Insert"_s;
    case 46:
        return u"Delete"_s;
    case 144:
        return u"Num Lock"_s;
    case 145:
        return u"Scroll Lock"_s;
    case 186:
        return u";"_s;
    case 187:
        return u"="_s;
    case 188:
        return u","_s;
    case 189:
        return u"-"_s;
    case 190:
        return u"."_s;
    case 191:
        return u"/"_s;
    case 192:
        return u"`"_s;
    case 219:
        return u"["_s;
    case 220:
        return u"\\"_s;
    case 221:
        return u"]"_s;
    case 222:
        return u"'"_s;
    default:
        return QString::number(code);
    }
}

QString ModifierNames(int flags) {
    QStringList names;
    if (flags & 4)
        names << u"Shift"_s;
    if (flags & 2)
        names << u"Ctrl"_s;
    if (flags & 1)
        names << u"Alt"_s;
    return names.join(u' ');
}

QString Combination(int flags, int code) {
    QString text = ModifierNames(flags);
    const QString key = KeyName(code);
    if (!key.isEmpty())
        text += (text.isEmpty() ? QString() : u" "_s) + key;
    return text;
}

int VirtualKey(int qtKey, Qt::KeyboardModifiers modifiers) {
    if (modifiers & Qt::KeypadModifier) {
        if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
            return 96 + qtKey - Qt::Key_0;
        switch (qtKey) {
        case Qt::Key_Asterisk:
            return 106;
        case Qt::Key_Plus:
            return 107;
        case Qt::Key_Minus:
            return 109;
        case Qt::Key_Comma:
        case Qt::Key_Period:
            return 110;
        case Qt::Key_Slash:
            return 111;
        case Qt::Key_Enter:
            return 13;
        default:
            break;
        }
    }
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return 48 + qtKey - Qt::Key_0;
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return 65 + qtKey - Qt::Key_A;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return 112 + qtKey - Qt::Key_F1;
    switch (qtKey) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Pause:
        return 19;
    case Qt::Key_CapsLock:
        return 20;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    case Qt::Key_NumLock:
        return 144;
    case Qt::Key_ScrollLock:
        return 145;
    case Qt::Key_Semicolon:
        return 186;
    case Qt::Key_Equal:
        return 187;
    case Qt::Key_Comma:
        return 188;
    case Qt::Key_Minus:
        return 189;
    case Qt::Key_Period:
        return 190;
    case Qt::Key_Slash:
        return 191;
    case Qt::Key_QuoteLeft:
        return 192;
    case Qt::Key_BracketLeft:
        return 219;
    case Qt::Key_Backslash:
        return 220;
    case Qt::Key_BracketRight:
        return 221;
    case Qt::Key_Apostrophe:
        return 222;
    default:
        return 0;
    }
}

} // namespace HotKeyNames

TEditHotKeyVtl::TEditHotKeyVtl(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
    clear();
}

QString TEditHotKeyVtl::KeyText() const {
    switch (Show) {
    case tshkHotKey:
        return HotKeyNames::KeyName(KeyCode);
    case shkHotShift:
        return HotKeyNames::ModifierNames(Modifiers);
    default:
        return HotKeyNames::Combination(Modifiers, KeyCode);
    }
}

void TEditHotKeyVtl::SetKey(int code) {
    KeyCode = code;
    setText(KeyText());
}

void TEditHotKeyVtl::SetModifierFlags(int flags) {
    Modifiers = flags & 7;
    setText(KeyText());
}

void TEditHotKeyVtl::SetShowHotKey(TShowHotKey value) {
    Show = value;
    setText(KeyText());
}

void TEditHotKeyVtl::keyPressEvent(QKeyEvent* event) {
    QLineEdit::keyPressEvent(event);
    const int code = HotKeyNames::VirtualKey(event->key(), event->modifiers());
    if (code == 0)
        return;
    const Qt::KeyboardModifiers m = event->modifiers();
    KeyCode = code;
    Modifiers = ((m & Qt::AltModifier) ? 1 : 0) | ((m & Qt::ControlModifier) ? 2 : 0) |
                ((m & Qt::ShiftModifier) ? 4 : 0);
    setText(KeyText());
    emit HotKeyChanged();
}
