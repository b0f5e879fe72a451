#pragma once
// The settings file "S9327.ini": the fields it fills, the start-up read and
// the full write of INIFileClick.
#include "Format.h"
#include "ProfileFile.h"

#include <filesystem>
#include <string>

namespace korlin {

inline constexpr const char* kIniName = "S9327.ini";

struct AppSettings {
    // The main window's geometry: designed size, position 0,0.
    int Width = 0, Height = 0, Top = 0, Left = 0;
    bool N24Visible = false; // "Сохранить файл для сканера QNX"
    int ScanerValue = 0;     // always written as 0
    int ComNumber = 0;
    bool ModbusMode = false;
    int MagAdr = 0;
    int KanMin = 1, KanMax = 108;
    double UstMin = 2.0, UstMax = 30.0;
    bool AgentOn = true;
    bool StartShowNone = false; // "каналы"
    bool StartShowSlu = false;  // "каналы1"
};

// The directory that stands for the Windows directory: $KORLIN_WINDIR, else
// $XDG_CONFIG_HOME/korlin, else ~/.config/korlin (created when missing).
std::filesystem::path settingsDirectory();

// The start-up read: every key but "main", in the start-up order; a key
// that is missing or does not convert keeps the value the field has.
// Only call it when the file exists.
void readStartupSettings(const ProfileFile& ini, AppSettings& s, const Locale& locale);

// Keeps ComNumber within 1..2 (anything else becomes 1).
void clampComNumber(AppSettings& s);

// Writes every key in the file's order; stops at the first key that cannot
// be written and returns false (ini.lastError() says why).
bool writeAllSettings(ProfileFile& ini, const AppSettings& s, const std::string& programPath, const Locale& locale);

// "Scaner" of section "QNX" as a truth value (false when missing or malformed).
bool readScaner(const ProfileFile& ini);

} // namespace korlin
