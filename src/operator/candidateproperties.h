#pragma once

#include "operator/framefronta.h"

#include <QDialog>

#include <map>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Podrobnosti": the whole history of one candidate with its photo; the reason and the note can
// be changed. The dialog only shows and edits; its opener sends the changes.
class TCandidateProperties : public QDialog {
    Q_OBJECT
public:
    static QString KindName(int kind);
    // The background of a kind or priority; invalid when it has none.
    static QColor KindColour(int kind);

    explicit TCandidateProperties(QWidget* parent = nullptr);

    // Fills every value from a copy of the candidate's 102-byte record.
    void ShowCandidate(const QByteArray& record);
    // The known reasons in index order; the candidate's one is selected.
    void SetReasons(const std::map<int, TDuvod>& reasons, int selected);
    // The index of the chosen reason, -1 when none.
    int SelectedReason() const;
    QString NoteText() const;
    // Near the given screen point, kept inside the desktop.
    void PlaceNear(const QPoint& at);
    bool IsChanged() const;

    QLabel* LCislo = nullptr;
    QLabel* LTimeComing = nullptr;
    QLabel* LPriority = nullptr;
    QComboBox* CBDuvody = nullptr;
    QLineEdit* EPoznamka = nullptr;
    QLabel* LStatus = nullptr;
    QLabel* LOpakovan = nullptr;
    QLabel* LPoprve = nullptr;
    QLabel* LNaposledy = nullptr;
    QLabel* LOdbaven = nullptr;
    QLabel* Foto = nullptr;
    QWidget* NoFoto = nullptr;
    QPushButton* BtnOk = nullptr;
    QPushButton* BtnCancel = nullptr;

private:
    void ShowChanged();
    void ShowKind(int kind);

    std::map<int, quint8> Priorities;
    bool Filling = false;
};
