#pragma once
// The main window TMainForm1: it owns the application state, and every user
// command is one of its parameterless slots, named as the command.  The slots
// are thin: the logic lives in the subsystem folders.
#include "ChannelWindows.h"
#include "Discovery.h"
#include "Services.h"
#include "Settings.h"
#include "SharedBuffers.h"

#include <QMainWindow>

#include <array>
#include <map>
#include <memory>
#include <optional>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QTimer;
class QWidget;

namespace korlin {

class TDlgGroupProg;
class TForm2;
class UpDown;

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
    static constexpr const char* kCheckFile = "ProgFiles/pv34.shc";

    // The menu items and top-level menus by their resource names.
    QAction* action(const std::string& name) const;
    QMenu* menu(const std::string& name) const;

    AppSettings& settings() { return settings_; }
    SharedBuffers* buffers() const { return buffers_.get(); }
    Services& services() { return services_; }
    PortState& portState() { return portState_; }
    QLabel* statusPanel(int i) const { return i == 0 ? panel0_ : panel1_; }
    // True once the application has been told to end.
    bool terminated() const { return terminated_; }
    bool endedByAgent() const { return endedByAgent_; }
    int buffersAllocated() const { return buffersAllocated_; }
    int buffersReleased() const { return buffersReleased_; }
    int SelKan() const { return SelKan_; }
    bool RabCycleOn() const { return RabCycleOn_; }
    int PollCount() const { return PollCount_; }
    int KanFirst() const { return KanFirst_; }
    const std::string& RabText() const { return RabText_; }
    // Channel window R<ch> (1..216), null before the windows exist.
    QLineEdit* R(int ch) const;
    QLineEdit* S(int j) const;
    QLineEdit* Sl(int j) const;
    // The splash while the start-up runs (null otherwise); its last position.
    TForm2* splash() const { return splash_; }
    const std::vector<int>& splashPositions() const { return splashPositions_; }
    // The decoding and painting half of the working-channel poll (on RabBuf as it is).
    void paintWorkingChannels();

    // Components by their resource names.
    QGroupBox* GroupBox1 = nullptr;
    QLabel* LabelSostojanie = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label_kan_data = nullptr;
    QGroupBox* GroupBoxAllRabCan = nullptr;
    QTabWidget* PageControlRabCan = nullptr;
    QWidget* TabSheetMIP1 = nullptr;
    QWidget* TabSheetMIP2 = nullptr;
    QGroupBox* GroupBoxUstawki = nullptr;
    QLineEdit* EditUstawki = nullptr;
    QLineEdit* EditErrorKan = nullptr;
    QGroupBox* GroupBoxCikl = nullptr;
    QPushButton* DisabledCiklRabCan = nullptr;
    QLineEdit* LabeledEdit1 = nullptr;
    QLineEdit* LabeledEdit2 = nullptr;
    UpDown* UpDownRabCan = nullptr;
    QGroupBox* GroupBoxComPort = nullptr;
    QLineEdit* EditErrorCOM = nullptr;
    QLineEdit* EditIntBit = nullptr;
    QWidget* LegendPanel = nullptr; // Panel1 of the working channels
    QGroupBox* GroupBoxAllSluCan = nullptr;
    QTabWidget* PageControlSluCan = nullptr;
    QWidget* TabSheetSluCan_1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPlainTextEdit* MemoPickups = nullptr;
    QPlainTextEdit* MemoAO = nullptr;
    QPlainTextEdit* MemoPR = nullptr;
    QPlainTextEdit* MemoRO = nullptr;
    QWidget* PanelButtonAr = nullptr;
    QMenu* PopupMenuRabKan = nullptr;
    QTimer* TimerCiklRabCan = nullptr;
    QTimer* TimerMODBUS = nullptr;

public slots:
    void FormCreate();
    void Exit1Click();
    void INIFileClick();
    void ButonOptionDlgClick();
    void AboutExecute();
    // Device
    void SearshMipComClick();
    void SearshMagAdrClick();
    void Button_MIP_SostojanieClick();
    void NewMagAdrClick();
    void SetMagAdrClick(int n); // SetMagAdr_1Click ... SetMagAdr_32Click
    void Write_TimeClick();
    // Program
    void Read_prog_array_MIPClick();
    void ReadProg9327Click();
    void N23Click();
    void prog_array_destruktClick();
    void ButtonSearschCRCClick();
    void New_Write_ArrayClick();
    void kan_tip_datchik1_864Click();
    void OpenFileClick();
    void SaveNewArrayAsClick();
    void AFileSaveAsTARVIKExecute();
    void N24Click();
    // Working channels
    void Strukt_array_editClick();
    void out_rab_kanClick();
    void MODBUS108ClickClick();
    void MainMenuRabCanClick();
    void NamePE_MouseDown(int channel);
    void N5Click();
    void DisabledCiklRabCanClick();
    void TimerCiklRabCanTimer();
    void TimerMODBUSTimer();
    void UpDownRabCanMouseUp();
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
    bool eventFilter(QObject* o, QEvent* e) override;
    void FormClose();

private:
    void buildMenus();
    void buildStatusBar();
    void buildDeviceBox(QWidget* client);
    void buildWorkingChannels(QWidget* client);
    void buildServiceChannels(QWidget* client);
    void buildMemos(QWidget* client);
    QAction* addItem(QMenu* m, const char* name, const char* caption);
    QMenu* addMenu(QMenu* parent, const char* name, const char* caption);
    void applyGeometry();
    void captureGeometry();
    void endApplication();
    void allocateBuffers();
    void releaseBuffers();
    // The start-up's pieces.
    void splashStep(int position, const char* text = nullptr);
    bool openPortAndSearch(int com);
    void workingStart();
    void readCheckFile();
    // The port as the exchanges see it (a closed one when none is open).
    Link link();
    void discoveryIn();
    void discoveryOut();
    void showBox(const std::string& text, const std::string& caption);
    bool splitProgram(); // false when the application is to end
    void setEnabledMenus(bool on);

    Services& services_;
    AppSettings settings_;
    std::unique_ptr<SharedBuffers> buffers_;
    std::unique_ptr<ProfileFile> IniFile;
    std::map<std::string, QAction*> actions_;
    std::map<std::string, QMenu*> menus_;
    QLabel* panel0_ = nullptr;
    QLabel* panel1_ = nullptr;
    QWidget* client_ = nullptr;
    bool exiting_ = false;
    bool terminated_ = false;
    bool endedByAgent_ = false;
    bool settingsErrorShown_ = false;
    int buffersAllocated_ = 0;
    int buffersReleased_ = 0;

    // Port and device.
    std::unique_ptr<SerialPort> hComm;
    PortState portState_;
    DiscoveryFields disc_;
    int NewAdrByte = 0;
    bool portReasonShown_ = false;
    // Program.
    size_t progValidBytes_ = kHeadSize; // bytes of prog_array that hold data (a zero head at start)
    bool scannerVariant_ = false;
    // Working channels.
    std::array<QLineEdit*, 217> RabCan_{};
    std::vector<QLineEdit*> ParamWindows_;
    std::vector<QLineEdit*> SluWindows_;
    int KanFirst_ = 0, KanLast_ = 0;
    int SelKan_ = 0;
    bool RabCycleOn_ = false;
    int PollCount_ = 0;
    std::string RabText_;
    RabCyclePeriod period_;
    TForm2* splash_ = nullptr;
    std::vector<int> splashPositions_;
};

} // namespace korlin
