#pragma once
// The channel to sensor-type map (kan_tip_datchik1_864): the type number at
// the end of every channel line of the МИП sub-arrays, and from it the display
// class the working-channel view scales and labels a value by.
//
// Entries 1..216 are filled (channels 1..108 of МИП1 and МИП2); the n-th
// non-empty line of the МИП sub-arrays gives entry n.
#include "ProgramArray.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

namespace korlin {

class DebugLog;
class UserDialogs;

inline constexpr std::size_t kSensorTableSize = 875; // channels 1..864, entry 0 unused
inline constexpr int kMappedChannels = 216;

struct SensorTables {
    std::array<int32_t, kSensorTableSize> sensor_type{};
    std::array<int32_t, kSensorTableSize> sensor_class{};
};

// Display classes.
enum SensorClass : int32_t {
    ClassUndefined = 0, // "Тип не опр."
    ClassMilliampere = 1,
    ClassCelsius = 2,
    ClassVolt = 3,
    ClassMillivolt = 4,
    ClassDryContact = 5,
};

// The class of a sensor type; empty for 10, negative types and types above 34.
std::optional<int32_t> sensorClassOf(int32_t type);

inline constexpr std::string_view kMapStartErrorText =
    "Ошибка определения начала массива для функции канал-датчик";
inline constexpr std::string_view kMapStartErrorCaption = "!";
inline constexpr std::string_view kThreeDigitTypeText =
    "Обнаружен тип датчика номером более 99, программа не расчитана на работу с такими типами датчиков !";
inline constexpr std::string_view kThreeDigitTypeCaption = "Ошибка определения типа датчика!!!";
inline constexpr std::string_view kTypeRangeText = "Ошибка определения стандартных типов датчиков";
inline constexpr std::string_view kTypeAbove34Text = "Впрограмме Ш9327 присутствуют датчики номером более 34";
inline constexpr std::string_view kTypeClassText = "Ошибка определения типа датчика";
inline constexpr std::string_view kMapBoxCaption = "!";
// Ours: a type field holding something other than digits and spaces.
inline constexpr std::string_view kBadTypeCharText =
    "В поле типа датчика недопустимый символ! Построение массива канал-тип датчика прервано.";

// ---- the scan ---------------------------------------------------------------

enum class TypeFieldKind {
    OneDigit,   // stored
    TwoDigit,   // stored
    ThreeDigit, // warned about, not stored
    BadChar,    // a character other than a digit or a space in the type field
};

struct TypeField {
    std::size_t end = 0; // position of the line's closing 0 byte
    TypeFieldKind kind = TypeFieldKind::OneDigit;
    int32_t value = 0;   // for OneDigit and TwoDigit; a space stands for no digit
};

// Visits the end of every non-empty line whose closing 0 lies at a position
// from first to last (both included), in order, and classifies its type field
// by the spaces before it.  Stops when visit returns false.  Positions are
// kept inside array (and at 4 or more, for the look back) whatever first and
// last say.
void scanTypeFields(std::span<const uint8_t> array, std::size_t first, std::size_t last,
                    const std::function<bool(const TypeField&)>& visit);

// ---- the command ------------------------------------------------------------

struct SensorMapResult {
    bool endApplication = false; // the start check failed; its box has been shown
    bool badTypeChar = false;    // ended at a bad type field; its box has been shown
    int stored = 0;              // entries written by the scan
};

// Builds the tables from array with the given offsets and lengths: off(1) of
// МИП1 and end(8) = off(8) + len(8).  Shows its boxes through dialogs and its
// trace line through log.  On endApplication or badTypeChar the tables keep
// what was stored so far.
SensorMapResult kan_tip_datchik1_864(std::span<const uint8_t> array, const SlotOffsets& offsets,
                                     const SlotLengths& lengths, SensorTables& tables,
                                     UserDialogs& dialogs, DebugLog& log);

// The command as the main window runs it: prog_array with the held offsets.
inline SensorMapResult kan_tip_datchik1_864(const ProgramState& state, SensorTables& tables,
                                            UserDialogs& dialogs, DebugLog& log)
{
    return kan_tip_datchik1_864(state.prog_array, state.subarray_off, state.subarray_len,
                                tables, dialogs, log);
}

} // namespace korlin
