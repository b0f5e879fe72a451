#pragma once
// The dialog "Уставки, опции, групповое программирование." with its three
// tabs.  Each command that opens it makes a new one and hides the tabs it
// does not use; it does not block the main window.
#include "Services.h"
#include "Settings.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWidget;

namespace korlin {

class TDlgGroupProg : public QDialog {
    Q_OBJECT
public:
    TDlgGroupProg(AppSettings& settings, Services& services, QWidget* parent);

    static constexpr int kClientWidth = 791;
    static constexpr int kClientHeight = 304;
    enum Tab { TabGroupProg = 0, TabUstawki = 1, TabOptions = 2 };

    // The options command: fill the tabs from the fields (and from the
    // settings file where it exists) and show the dialog.
    void openOptions(bool editorOnly, const ProfileFile* ini);

    QTabWidget* Option = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* Ustawki = nullptr;
    QWidget* TabSheetOptions = nullptr;
    // "Уставки."
    QLineEdit* EditMinUstawka = nullptr;
    QLineEdit* EditMaxUstawka = nullptr;
    QLineEdit* UstawkaKanOtEdit = nullptr;
    QLineEdit* UstawkaKanDoEdit = nullptr;
    // "Опции."
    QCheckBox* CheckBoxAgent = nullptr;
    QRadioButton* RadioButtonZagNo = nullptr;
    QRadioButton* RadioButtonZagRab = nullptr;
    QRadioButton* RadioButtonZagSlu = nullptr;
    QPushButton* ButtonOptionOk = nullptr;
    QPushButton* ButtonOptionCancel = nullptr;
    QPushButton* ButtonOptionHelpl = nullptr;

public slots:
    void ButtonOptionOkClick();
    void ButtonOptionCancelClick();
    void ButtonOptionHelplClick();

private:
    void buildGroupProgTab();
    void buildUstawkiTab();
    void buildOptionsTab();

    AppSettings& settings_;
    Services& services_;
};

} // namespace korlin
