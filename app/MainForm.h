#pragma once
// The main window TMainForm1: it owns the application state, and every user
// command is one of its parameterless slots, named as the command.  The slots
// are thin: the logic lives in the subsystem folders.
#include "Services.h"
#include "Settings.h"
#include "SharedBuffers.h"

#include <QMainWindow>

#include <map>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QMenu;
class QStatusBar;

namespace korlin {

class TDlgGroupProg;

class TMainForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm1(Services& services, QWidget* parent = nullptr);
    ~TMainForm1() override;

    // Designed size of the client area.
    static constexpr int kClientWidth = 1014;
    static constexpr int kClientHeight = 990;
    static constexpr const char* kCaption = "Korlin.";
    static constexpr const char* kHelpFile = "Help9327/S9327.hlp";

    // The menu items and top-level menus by their resource names.
    QAction* action(const std::string& name) const;
    QMenu* menu(const std::string& name) const;

    AppSettings& settings() { return settings_; }
    const SharedBuffers* buffers() const { return buffers_.get(); }
    Services& services() { return services_; }
    QLabel* statusPanel(int i) const { return i == 0 ? panel0_ : panel1_; }
    // True once the application has been told to end.
    bool terminated() const { return terminated_; }
    // True when the exit handed over to the agent (the process would be gone).
    bool endedByAgent() const { return endedByAgent_; }
    // How many times the shared buffers were allocated and released.
    int buffersAllocated() const { return buffersAllocated_; }
    int buffersReleased() const { return buffersReleased_; }

public slots:
    void FormCreate();
    void Exit1Click();
    void INIFileClick();
    void ButonOptionDlgClick();
    void AboutExecute();
    // Help menu
    void N11Click();
    void Tabl_typ_datchikClick();
    void N2Click();
    void Kaliculator_1Click();
    void Kalkulator_2Click();
    void TypeBClick();
    void TypeCClick();
    void TypeEClick();
    void TipeJClick();
    void TypeKClick();
    void TypeNClick();
    void TypeRClick();
    void TypeSClick();
    void TypeTClick();

protected:
    void closeEvent(QCloseEvent* e) override;
    void FormClose();

private:
    void buildMenus();
    void buildStatusBar();
    QAction* addItem(QMenu* m, const char* name, const char* caption);
    QMenu* addMenu(QMenu* parent, const char* name, const char* caption);
    void applyGeometry();
    void captureGeometry();
    void endApplication();
    void allocateBuffers();
    void releaseBuffers();

    Services& services_;
    AppSettings settings_;
    std::unique_ptr<SharedBuffers> buffers_;
    std::unique_ptr<ProfileFile> IniFile;
    std::map<std::string, QAction*> actions_;
    std::map<std::string, QMenu*> menus_;
    QLabel* panel0_ = nullptr;
    QLabel* panel1_ = nullptr;
    bool exiting_ = false;
    bool terminated_ = false;
    bool endedByAgent_ = false;
    bool settingsErrorShown_ = false;
    int buffersAllocated_ = 0;
    int buffersReleased_ = 0;
};

} // namespace korlin
