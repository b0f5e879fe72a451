#include "Settings.h"

#include <cstdlib>
#include <limits>

namespace korlin {
namespace {

constexpr const char* kParams = "Параметры";
constexpr const char* kQnx = "QNX";
constexpr const char* kUst = "Уставки";
constexpr const char* kAgent = "Агент";

void readInt(const ProfileFile& ini, const char* sec, const char* key, int& field)
{
    if (const auto text = ini.read(sec, key))
        if (const auto v = parseInteger(*text);
            v && *v >= std::numeric_limits<int>::min() && *v <= std::numeric_limits<int>::max())
            field = int(*v);
}

void readBool(const ProfileFile& ini, const char* sec, const char* key, bool& field)
{
    if (const auto text = ini.read(sec, key))
        if (const auto v = parseTruth(*text))
            field = *v;
}

void readReal(const ProfileFile& ini, const char* sec, const char* key, double& field, char sep)
{
    if (const auto text = ini.read(sec, key))
        if (const auto v = parseReal(*text, sep))
            field = *v;
}

} // namespace

std::filesystem::path settingsDirectory()
{
    std::filesystem::path dir;
    if (const char* w = std::getenv("KORLIN_WINDIR"); w && *w)
        dir = w;
    else if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x)
        dir = std::filesystem::path(x) / "korlin";
    else if (const char* h = std::getenv("HOME"); h && *h)
        dir = std::filesystem::path(h) / ".config" / "korlin";
    else
        dir = ".";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return dir;
}

void readStartupSettings(const ProfileFile& ini, AppSettings& s, const Locale& locale)
{
    readInt(ini, kParams, "Width", s.Width);
    readInt(ini, kParams, "Height", s.Height);
    readInt(ini, kParams, "Top", s.Top);
    readInt(ini, kParams, "Left", s.Left);
    readBool(ini, kQnx, "Scaner", s.N24Visible);
    readInt(ini, kParams, "COM", s.ComNumber);
    readBool(ini, kParams, "MODBUS", s.ModbusMode);
    readInt(ini, kParams, "AdresMIP", s.MagAdr);
    readInt(ini, kUst, "kan_min", s.KanMin);
    readInt(ini, kUst, "kan_max", s.KanMax);
    readReal(ini, kUst, "min", s.UstMin, locale.decimalSeparator);
    readReal(ini, kUst, "max", s.UstMax, locale.decimalSeparator);
    readBool(ini, kAgent, "вкл", s.AgentOn);
    readBool(ini, kParams, "каналы", s.StartShowNone);
    readBool(ini, kParams, "каналы1", s.StartShowSlu);
}

void clampComNumber(AppSettings& s)
{
    if (s.ComNumber != 1 && s.ComNumber != 2)
        s.ComNumber = 1;
}

bool writeAllSettings(ProfileFile& ini, const AppSettings& s, const std::string& programPath, const Locale& locale)
{
    const char sep = locale.decimalSeparator;
    const struct {
        const char* section;
        const char* key;
        std::string value;
    } keys[] = {
        {"Files", "main", programPath},
        {kParams, "Width", std::to_string(s.Width)},
        {kParams, "Height", std::to_string(s.Height)},
        {kParams, "Top", std::to_string(s.Top)},
        {kParams, "Left", std::to_string(s.Left)},
        {kQnx, "Scaner", std::to_string(s.ScanerValue)},
        {kParams, "COM", std::to_string(s.ComNumber)},
        {kParams, "MODBUS", truthText(s.ModbusMode)},
        {kParams, "AdresMIP", std::to_string(s.MagAdr)},
        {kParams, "каналы", truthText(s.StartShowNone)},
        {kParams, "каналы1", truthText(s.StartShowSlu)},
        {kUst, "min", formatGeneral(s.UstMin, sep)},
        {kUst, "max", formatGeneral(s.UstMax, sep)},
        {kUst, "kan_min", std::to_string(s.KanMin)},
        {kUst, "kan_max", std::to_string(s.KanMax)},
        {kAgent, "вкл", truthText(s.AgentOn)},
    };
    for (const auto& k : keys)
        if (!ini.write(k.section, k.key, k.value))
            return false;
    return true;
}

bool readScaner(const ProfileFile& ini)
{
    const auto text = ini.read(kQnx, "Scaner");
    const auto v = text ? parseTruth(*text) : std::nullopt;
    return v.value_or(false);
}

} // namespace korlin
