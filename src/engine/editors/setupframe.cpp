#include "engine/editors/setupframe.h"

#include "engine/setupnode.h"

#include <QFormLayout>
#include <QHash>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TSetupFrame::TSetupFrame(QWidget* parent) : QWidget(parent) {}

void TSetupFrame::SaveValues(TRegistry&) {}
void TSetupFrame::LoadValues(TRegistry&) {}

TSetupName::TSetupName(QWidget* parent) : TSetupFrame(parent) {
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    Jmeno = new QLineEdit(this);
    Jmeno->setObjectName(u"Jmeno"_s);
    Jmeno->setMaxLength(60);
    form->addRow(new QLabel(u"Jméno:"_s, this), Jmeno);
    layout->addLayout(form);
    Body = new QWidget(this);
    layout->addWidget(Body, 1);
}

void TSetupName::SaveValues(TRegistry& key) {
    key.WriteString(u"Name"_s, Jmeno->text());
    if (Node)
        Node->Load(key);
}

void TSetupName::LoadValues(TRegistry& key) {
    if (key.ValueExists(u"Name"_s))
        Jmeno->setText(key.ReadString(u"Name"_s));
}

namespace TEditorClasses {

namespace {
QHash<QString, Factory>& Factories() {
    static QHash<QString, Factory> factories;
    return factories;
}
} // namespace

void Register(const QString& className, Factory factory) {
    Factories().insert(className, std::move(factory));
}

TSetupFrame* Create(const QString& className, QWidget* parent) {
    auto it = Factories().constFind(className);
    return it == Factories().constEnd() ? nullptr : it.value()(parent);
}

} // namespace TEditorClasses
