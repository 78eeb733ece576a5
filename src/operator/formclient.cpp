#include "operator/formclient.h"

#include "engine/helpers.h"
#include "engine/registry.h"
#include "engine/stationmessage.h"
#include "operator/hotkeyedit.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// Paints every tab with the colour of its queue's state.
class TColourTabBar : public QTabBar {
public:
    TColourTabBar(TFormClient* owner, QWidget* parent) : QTabBar(parent), Owner(owner) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        for (int i = 0; i < count(); ++i) {
            QStyleOptionTab option;
            initStyleOption(&option, i);
            const QColor colour = Owner->TabColour(i);
            if (colour.isValid()) {
                painter.drawControl(QStyle::CE_TabBarTabShape, option);
                painter.fillRect(option.rect.adjusted(2, 2, -2, 0), colour);
                painter.drawControl(QStyle::CE_TabBarTabLabel, option);
            } else {
                painter.drawControl(QStyle::CE_TabBarTab, option);
            }
        }
    }

private:
    TFormClient* Owner;
};

class TTabWidget : public QTabWidget {
public:
    TTabWidget(TFormClient* owner, QWidget* parent) : QTabWidget(parent) {
        setTabBar(new TColourTabBar(owner, this));
    }
};

} // namespace

TFormClient::TFormClient(int mask, IClientHost* host, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      WindowMask(mask), Host(host) {
    setWindowTitle(u"Client"_s);
    setObjectName(u"FormClient"_s + QString::number(mask));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    Stranky = new TTabWidget(this, this);
    layout->addWidget(Stranky);
    CheckBoxPodrobne = new QCheckBox(u"Podrobně"_s, Stranky);
    CheckBoxPodrobne->setChecked(true);
    Stranky->setCornerWidget(CheckBoxPodrobne, Qt::TopRightCorner);

    TabSheetSetup = new QWidget;
    auto* setup = new QVBoxLayout(TabSheetSetup);
    AlertPlace = new QWidget(TabSheetSetup);
    new QVBoxLayout(AlertPlace);
    setup->addWidget(AlertPlace);
    SoundCard = new QWidget(TabSheetSetup);
    new QVBoxLayout(SoundCard);
    setup->addWidget(SoundCard);
    auto* keys = new QGroupBox(TabSheetSetup);
    auto* grid = new QGridLayout(keys);
    Shifts = new TEditHotKeyVtl(keys);
    Shifts->SetShowHotKey(TEditHotKeyVtl::shkHotShift);
    Shifts->hide();
    auto row = [&](int r, const QString& caption, QLabel*& shifts, QWidget* value) {
        auto* label = new QLabel(caption, keys);
        shifts = new QLabel(u"Shifts"_s, keys);
        shifts->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(label, r, 0);
        grid->addWidget(shifts, r, 1);
        grid->addWidget(value, r, 2);
        return label;
    };
    Invite = new TEditHotKeyVtl(keys);
    NotBecome = new TEditHotKeyVtl(keys);
    OpenDoorLock = new TEditHotKeyVtl(keys);
    HKFronta = new QLabel(u"F1"_s, keys);
    for (TEditHotKeyVtl* edit : {Invite, NotBecome, OpenDoorLock}) {
        edit->SetShowHotKey(TEditHotKeyVtl::tshkHotKey);
        connect(edit, &TEditHotKeyVtl::HotKeyChanged, this, [this, edit] { HotKeyEdited(edit); });
    }
    row(0, u"Další:"_s, HSDalsi, Invite);
    row(1, u"Nepřišel:"_s, HSNeprisel, NotBecome);
    FrontaRow[0] = row(2, u"Fronta:"_s, HSFronta, HKFronta);
    FrontaRow[1] = HSFronta;
    row(3, u"Otevřít:"_s, HSOtevrit, OpenDoorLock);
    setup->addWidget(keys);
    SaveDataKn = new QPushButton(u"Ulož"_s, TabSheetSetup);
    connect(SaveDataKn, &QPushButton::clicked, this, &TFormClient::SaveData);
    setup->addWidget(SaveDataKn, 0, Qt::AlignRight);
    setup->addStretch();
    Stranky->addTab(TabSheetSetup, u"Nastavení"_s);

    connect(Stranky, &QTabWidget::currentChanged, this, &TFormClient::PageChanged);
    connect(CheckBoxPodrobne, &QCheckBox::toggled, this, &TFormClient::DetailChanged);
    PreviousPage = Stranky->currentIndex();
}

TFormClient::~TFormClient() {
    if (Host)
        Host->ClientDestroyed(this);
}

QString TFormClient::KeyPath() const {
    return RootKeyPath(2) + u"\\"_s + QString::number(WindowMask);
}

void TFormClient::AddQueuePages(int mask, bool askContents) {
    for (int bit = 1; bit <= 30; ++bit)
        if (mask & (1 << bit))
            AddQueuePage(1 << bit);
    Stranky->setCurrentIndex(0);
    if (askContents)
        AskContents();
}

void TFormClient::AddQueuePage(int mask) {
    if (FrameFor(mask))
        return;
    auto* sheet = new TQueueTabSheet;
    sheet->Mask = mask;
    auto* frame = new TFrameFronta(mask, this, sheet);
    auto* sheetLayout = new QVBoxLayout(sheet);
    sheetLayout->setContentsMargins(0, 0, 0, 0);
    sheetLayout->addWidget(frame);
    sheet->Frame = frame;

    // Button hints from the global hot keys.
    const QList<TQueueEntry> entries = Host->QueueEntries();
    for (const TQueueEntry& e : entries) {
        if (e.Mask != mask)
            continue;
        const THotKeys keys = THotKeys::Read();
        const QString modifiers = HotKeyNames::ModifierNames(keys.Shifts);
        QString prefix;
        if (entries.size() >= 2)
            prefix = u"prvně "_s + (modifiers.isEmpty() ? QString() : modifiers + u" "_s) + u"F"_s +
                     QString::number(e.Position) + u"\npotom "_s;
        frame->SetButtonHints(prefix + HotKeyNames::Combination(keys.Shifts, keys.Invite),
                              prefix + HotKeyNames::Combination(keys.Shifts, keys.NotBecome),
                              prefix + HotKeyNames::Combination(keys.Shifts, keys.OpenDoorLock));
        break;
    }
    // Pages in ascending order of mask, before "Nastavení".
    int at = 0;
    while (at < Stranky->count() - 1) {
        auto* other = qobject_cast<TQueueTabSheet*>(Stranky->widget(at));
        if (!other || other->Mask > mask)
            break;
        ++at;
    }
    QString caption = QString::number(Log2(mask));
    for (const TQueueEntry& e : entries)
        if (e.Mask == mask)
            caption = e.Name;
    Stranky->insertTab(at, sheet, caption);
    frame->SetDetailed(CheckBoxPodrobne->isChecked() || CheckedForSetup);
}

QList<TFrameFronta*> TFormClient::Frames() const {
    QList<TFrameFronta*> frames;
    for (int i = 0; i < Stranky->count(); ++i)
        if (auto* sheet = qobject_cast<TQueueTabSheet*>(Stranky->widget(i)))
            frames << sheet->Frame;
    return frames;
}

TFrameFronta* TFormClient::FrameFor(int mask) const {
    for (TFrameFronta* f : Frames())
        if (f->Mask() == mask)
            return f;
    return nullptr;
}

void TFormClient::AskContents() {
    for (TFrameFronta* f : Frames())
        Host->SendToEngine(StationMessage::RequestQueue(f->Mask()));
}

void TFormClient::RestoreState() {
    TRegistry reg(THive::User);
    if (!reg.OpenKey(KeyPath(), false))
        return;
    if (reg.ValueExists(u"Full"_s))
        CheckBoxPodrobne->setChecked(reg.ReadBool(u"Full"_s, true));
    QPoint at = pos();
    if (reg.ValueExists(u"Left"_s))
        at.setX(reg.ReadInteger(u"Left"_s));
    if (reg.ValueExists(u"Top"_s))
        at.setY(reg.ReadInteger(u"Top"_s));
    move(at);
    if (reg.ValueExists(u"Visible"_s))
        setVisible(reg.ReadBool(u"Visible"_s));
}

void TFormClient::SaveState() {
    TRegistry reg(THive::User);
    if (!reg.OpenKey(KeyPath(), true))
        return;
    reg.WriteBool(u"Visible"_s, isVisible() || ReShow);
    reg.WriteBool(u"Full"_s, CheckBoxPodrobne->isChecked() && !CheckedForSetup);
    reg.WriteInteger(u"Top"_s, pos().y());
    reg.WriteInteger(u"Left"_s, pos().x());
}

void TFormClient::Arrange() {
    adjustSize();
}

void TFormClient::BuildMoveMenus() {
    QList<TMoveTarget> targets;
    for (const TQueueEntry& e : Host->QueueEntries())
        targets.append({e.Mask, e.Name});
    for (TFrameFronta* f : Frames())
        f->SetMoveTargets(targets);
}

void TFormClient::PassMessage(const QByteArray& text) {
    for (TFrameFronta* f : Frames())
        f->ReceiveText(text);
}

void TFormClient::HideAndMark() {
    if (isVisible() || ReShow) {
        hide();
        ReShow = true;
    } else {
        ReShow = false;
    }
}

void TFormClient::ShowIfMarked() {
    if (ReShow) {
        ReShow = false;
        show();
    }
}

void TFormClient::hideEvent(QHideEvent* event) {
    if (!event->spontaneous() && !Host->IsOpened())
        ReShow = true;
    QWidget::hideEvent(event);
}

void TFormClient::PageChanged(int index) {
    const bool toSetup = Stranky->widget(index) == TabSheetSetup;
    if (auto* left = qobject_cast<TQueueTabSheet*>(Stranky->widget(PreviousPage)))
        SetupQueue = left->Mask;
    else if (PreviousPage >= 0)
        SetupQueue = 0;
    PreviousPage = index;
    if (toSetup) {
        if (!CheckBoxPodrobne->isChecked()) {
            CheckedForSetup = true;
            CheckBoxPodrobne->setChecked(true);
        }
        CheckBoxPodrobne->hide();
        LoadData();
    } else {
        CheckBoxPodrobne->show();
        if (CheckedForSetup) {
            CheckedForSetup = false;
            CheckBoxPodrobne->setChecked(false);
        }
    }
}

void TFormClient::DetailChanged(bool checked) {
    for (TFrameFronta* f : Frames())
        f->SetDetailed(checked);
    Arrange();
}

void TFormClient::LoadData() {
    // The alert rows and the sound-card frame load their values here once they exist.
    const THotKeys keys = THotKeys::Read();
    Shifts->SetModifierFlags(keys.Shifts);
    for (auto [edit, key] : {std::pair{Invite, keys.Invite},
                             {NotBecome, keys.NotBecome},
                             {OpenDoorLock, keys.OpenDoorLock}}) {
        edit->SetModifierFlags(keys.Shifts);
        edit->SetKey(key);
    }
    for (QLabel* l : {HSDalsi, HSNeprisel, HSFronta, HSOtevrit})
        l->setText(Shifts->text());
    const QList<TQueueEntry> entries = Host->QueueEntries();
    const bool several = entries.size() > 1;
    int position = Log2(SetupQueue);
    for (const TQueueEntry& e : entries)
        if (e.Mask == SetupQueue)
            position = e.Position;
    HKFronta->setText(u"F"_s + QString::number(position));
    FrontaRow[0]->setVisible(several);
    FrontaRow[1]->setVisible(several);
    HKFronta->setVisible(several);
}

void TFormClient::SaveData() {
    Host->ReloadQueueSettings();
    THotKeys keys;
    keys.Shifts = Shifts->ModifierFlags();
    keys.Invite = Invite->Key();
    keys.NotBecome = NotBecome->Key();
    keys.OpenDoorLock = OpenDoorLock->Key();
    keys.Write();
}

void TFormClient::HotKeyEdited(TEditHotKeyVtl* edit) {
    Shifts->SetModifierFlags(edit->ModifierFlags());
    for (TEditHotKeyVtl* e : {Invite, NotBecome, OpenDoorLock})
        e->SetModifierFlags(edit->ModifierFlags());
    for (QLabel* l : {HSDalsi, HSNeprisel, HSFronta, HSOtevrit})
        l->setText(Shifts->text());
}

QColor TFormClient::TabColour(int index) const {
    auto* sheet = qobject_cast<TQueueTabSheet*>(Stranky->widget(index));
    if (!sheet)
        return {};
    if (!Host->IsOpened())
        return TFrameFronta::ClosedRoomColour;
    if (!sheet->Frame->QueueOpen())
        return TFrameFronta::ClosedQueueColour;
    return {};
}

bool TFormClient::IsOpened() const {
    return Host->IsOpened();
}

void TFormClient::PassCommand(const QByteArray& text) {
    Host->SendToEngine(text);
}

int TFormClient::QueueCount() const {
    return int(Host->QueueEntries().size());
}

void TFormClient::FrameLookChanged(TFrameFronta*) {
    if (Stranky)
        Stranky->tabBar()->update();
}

void TFormClient::FrameNameChanged(TFrameFronta* frame, const QString& name) {
    for (int i = 0; i < Stranky->count(); ++i)
        if (auto* sheet = qobject_cast<TQueueTabSheet*>(Stranky->widget(i));
            sheet && sheet->Frame == frame)
            Stranky->setTabText(i, name);
}
