#include "operator/candidateproperties.h"

#include "engine/candidate.h"
#include "engine/helpers.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

const QString NoTime = u"- - -"_s;

void SetLabelBackground(QLabel* label, const QColor& colour) {
    if (colour.isValid()) {
        label->setAutoFillBackground(true);
        QPalette pal = label->palette();
        pal.setColor(QPalette::Window, colour);
        label->setPalette(pal);
    } else {
        label->setAutoFillBackground(false);
        label->setPalette(QPalette());
    }
}

} // namespace

QString TCandidateProperties::KindName(int kind) {
    switch (kind) {
    case 1:
        return u"Běžný"_s;
    case 2:
        return u"Vyhrazený"_s;
    case 3:
        return u"Naléhavý"_s;
    default:
        return {};
    }
}

QColor TCandidateProperties::KindColour(int kind) {
    if (kind == 2)
        return TFrameFronta::ReservedRowColour;
    if (kind == 3)
        return TFrameFronta::UrgentRowColour;
    return {};
}

TCandidateProperties::TCandidateProperties(QWidget* parent) : QDialog(parent) {
    setWindowTitle(u"Podrobnosti"_s);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* main = new QHBoxLayout(this);
    auto* grid = new QGridLayout;
    const QString captions[] = {u"Číslo:"_s,    u"Čas příchodu:"_s, u"Typ:"_s,    u"Důvod:"_s,
                                u"Poznámka:"_s, u"Stav:"_s,         u"Vyzván:"_s, u"Poprvé:"_s,
                                u"Naposled:"_s, u"Odbaven:"_s};
    LCislo = new QLabel(this);
    LTimeComing = new QLabel(this);
    LPriority = new QLabel(this);
    CBDuvody = new QComboBox(this);
    EPoznamka = new QLineEdit(this);
    EPoznamka->setMaxLength(TCandidate::NoteLength);
    LStatus = new QLabel(this);
    LOpakovan = new QLabel(NoTime, this);
    LPoprve = new QLabel(NoTime, this);
    LNaposledy = new QLabel(NoTime, this);
    LOdbaven = new QLabel(NoTime, this);
    QWidget* values[] = {LCislo,  LTimeComing, LPriority, CBDuvody,   EPoznamka,
                         LStatus, LOpakovan,   LPoprve,   LNaposledy, LOdbaven};
    for (int i = 0; i < 10; ++i) {
        grid->addWidget(new QLabel(captions[i], this), i, 0, Qt::AlignRight);
        grid->addWidget(values[i], i, 1);
    }
    main->addLayout(grid, 1);

    auto* right = new QVBoxLayout;
    Foto = new QLabel(this);
    Foto->setScaledContents(true);
    Foto->setFixedSize(231, 173);
    Foto->hide();
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setMinimumSize(231, 173);
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->addStretch();
    panelLayout->addWidget(new QLabel(u"Foto"_s, panel), 0, Qt::AlignHCenter);
    panelLayout->addWidget(new QLabel(u"pacienta"_s, panel), 0, Qt::AlignHCenter);
    panelLayout->addStretch();
    NoFoto = panel;
    right->addWidget(Foto);
    right->addWidget(NoFoto);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    BtnOk = new QPushButton(u"OK"_s, this);
    BtnCancel = new QPushButton(u"Zrušit"_s, this);
    BtnOk->hide();
    BtnOk->setDefault(true);
    buttons->addWidget(BtnOk);
    buttons->addWidget(BtnCancel);
    right->addStretch();
    right->addLayout(buttons);
    main->addLayout(right);

    connect(BtnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(CBDuvody, &QComboBox::currentIndexChanged, this, [this] {
        if (Filling)
            return;
        const auto p = Priorities.find(SelectedReason());
        ShowKind(p == Priorities.end() ? 0 : p->second);
        ShowChanged();
    });
    connect(EPoznamka, &QLineEdit::textChanged, this, [this] {
        if (!Filling)
            ShowChanged();
    });
}

void TCandidateProperties::ShowKind(int kind) {
    LPriority->setText(KindName(kind));
    SetLabelBackground(LPriority, KindColour(kind));
}

void TCandidateProperties::ShowChanged() {
    BtnOk->show();
}

bool TCandidateProperties::IsChanged() const {
    return !BtnOk->isHidden();
}

void TCandidateProperties::ShowCandidate(const QByteArray& record) {
    if (record.size() < TCandidate::RecordSize)
        return;
    TCandidate c(nullptr, nullptr);
    c.ReadRecord(record.constData());
    LCislo->setText(QString::number(c.Number));
    LTimeComing->setText(ShortTime(c.Issued) + u"  jako  "_s + QString::number(c.FirstPosition) +
                         u"."_s);
    ShowKind(c.Kind);
    QString state = TCandidate::StateName(c.State);
    if (c.Position > 0)
        state += u"  jako  "_s + QString::number(c.Position) + u"."_s;
    LStatus->setText(state);
    SetLabelBackground(LStatus,
                       c.State >= 1 && c.State <= 4 ? TFrameFronta::CalledRowColour : QColor());
    LOpakovan->setText(c.CallCount > 0 ? QString::number(c.CallCount) + u" krát"_s : NoTime);
    const double issuedTime = c.Issued - std::floor(c.Issued);
    if (c.FirstCall > 0)
        LPoprve->setText(ShortTime(c.FirstCall) + u"  po  "_s +
                         ShortTime(c.FirstCall - std::floor(c.FirstCall) - issuedTime));
    if (c.LastCall > 0) {
        QString text = ShortTime(c.LastCall);
        if (c.LastCall != c.FirstCall)
            text += u"  po  "_s + ShortTime(c.LastCall - c.FirstCall);
        LNaposledy->setText(text);
    }
    if (c.DoneAt > 0)
        LOdbaven->setText(ShortTime(c.DoneAt) + u"  za  "_s + ShortTime(c.DoneAt - c.FirstCall));
    Filling = true;
    EPoznamka->setText(c.Note);
    Filling = false;
    if (c.PhotoId > 0) {
        const QString file =
            AbsoluteFromProgram(u"Fotky/"_s + QString::number(c.PhotoId) + u".jpg"_s);
        if (QFile::exists(file)) {
            QImageReader reader(file);
            const QImage image = reader.read();
            if (!image.isNull()) {
                Foto->setPixmap(QPixmap::fromImage(image));
                NoFoto->hide();
                Foto->show();
            }
        }
    }
}

void TCandidateProperties::SetReasons(const std::map<int, TDuvod>& reasons, int selected) {
    Filling = true;
    CBDuvody->clear();
    Priorities.clear();
    for (const auto& [index, duvod] : reasons) {
        CBDuvody->addItem(duvod.Name, index);
        Priorities[index] = duvod.Priority;
    }
    CBDuvody->setCurrentIndex(CBDuvody->findData(selected));
    Filling = false;
}

int TCandidateProperties::SelectedReason() const {
    return CBDuvody->currentIndex() < 0 ? -1 : CBDuvody->currentData().toInt();
}

QString TCandidateProperties::NoteText() const {
    return EPoznamka->text();
}

void TCandidateProperties::PlaceNear(const QPoint& at) {
    adjustSize();
    QScreen* screen = QGuiApplication::screenAt(at);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect desk = screen ? screen->availableGeometry() : QRect(0, 0, 1366, 768);
    const QSize size = frameGeometry().size();
    move(desk.left() + KeepInside(at.x() - desk.left(), size.width(), desk.width()),
         desk.top() + KeepInside(at.y() - desk.top(), size.height(), desk.height()));
}
