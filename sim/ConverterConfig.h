#pragma once
// What a simulated Ш9327 converter is: its bus address and protocol, its
// status, program array, clock, per-channel overrides and the faults it shows
// on demand.  A plain value: tests build it in one line, mip-sim fills it from
// a "key = value" file and from its command-line flags (same keys).
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "Clock.h"

namespace korlin::sim {

enum class Protocol { Native, Modbus };

// Overrides for one logical channel (1..864).  Without them the value follows
// the channel's sensor class over time.
struct ChannelSetting {
    std::optional<int16_t> value;  // fixed raw value
    std::optional<uint8_t> state;  // state code 0..15 (bits 2-5 of record byte 1)
    std::optional<uint16_t> word;  // status word 0x8000..0x8005 in place of the value
};

// Overrides for one service record (0..295).
struct ServiceSetting {
    bool flag = false;               // bit 7 of record byte 1
    std::optional<uint16_t> value;   // raw value in place of the simulated one
};

struct Faults {
    // Answers that the faults below shape: empty = every answer (native codes,
    // 0x03 for MODBUS function 03).
    std::set<uint8_t> commands;
    bool silent = false;                     // no answer at all
    std::optional<size_t> truncate;          // keep only the first N bytes
    std::map<size_t, uint8_t> xorAt;         // byte index -> pattern XORed into it
    std::optional<uint32_t> randomSeed;      // garble random bytes, reproducibly
    int randomCount = 1;                     // how many bytes per answer
    int64_t gapUs = 0;                       // extra silence between answer bytes
    int64_t modbusDelayUs = 0;               // extra delay before a MODBUS answer
    // Working-channel records (index k of the records in the answer):
    std::map<int, int> insertRecord;         // before record k, an extra record numbered n
    std::map<int, int> renumberRecord;       // record k carries number n instead
    // Program array as sent by 0x1D:
    bool badChecksum = false;                // head checksum off by one
    int headBeyond = 0;                      // HOL's head length grows by this many bytes
    // A status that no command or load changes (for example 133).
    std::optional<uint8_t> stuckStatus;

    bool applies(uint8_t command) const { return commands.empty() || commands.count(command) != 0; }
};

struct ConverterConfig {
    int address = 1;                      // bus address 1..32 (also the MODBUS slave address)
    Protocol protocol = Protocol::Native;
    uint8_t status = 129;
    std::vector<uint8_t> program{};       // empty: the built-in default program
    std::optional<DateTime> clock{};      // the converter's clock at line time 0 (default 2026-12-11 09:00:00)
    int64_t turnaroundUs = 3000;          // from the end of a request to the first answer byte
    int64_t frameGapUs = 4375;            // silence that separates frames (3.5 byte times)
    int64_t loadSilenceUs = 50000;        // silence that ends a program array after 0x10
    int64_t dataTimeoutUs = 2000000;      // how long a command waits for its data block
    size_t diskZone = 10000;              // longest array the disk zone holds
    size_t ramZone = 8000;                // longest array the RAM zone holds
    std::map<int, ChannelSetting> channels{};
    std::map<int, ServiceSetting> service{};
    Faults faults{};

    // One-line setups: ConverterConfig::native(5).measuring().channel(12, 235)
    static ConverterConfig native(int addr) { ConverterConfig c; c.address = addr; return c; }
    static ConverterConfig modbus(int addr) { ConverterConfig c; c.address = addr; c.protocol = Protocol::Modbus; return c; }
    ConverterConfig& measuring() { status = 129; return *this; }
    ConverterConfig& waiting() { status = 138; return *this; }
    ConverterConfig& withStatus(uint8_t s) { status = s; return *this; }
    ConverterConfig& withProgram(std::vector<uint8_t> p) { program = std::move(p); return *this; }
    ConverterConfig& withClock(DateTime t) { clock = t; return *this; }
    ConverterConfig& channel(int n, int16_t value) { channels[n].value = value; return *this; }
    ConverterConfig& state(int n, uint8_t code) { channels[n].state = code; return *this; }
    ConverterConfig& word(int n, uint16_t w) { channels[n].word = w; return *this; }
    ConverterConfig& serviceFlag(int k, bool on = true) { service[k].flag = on; return *this; }
    ConverterConfig& silent() { faults.silent = true; return *this; }
};

inline constexpr DateTime kDefaultClock{2026, 12, 11, 9, 0, 0};

// Applies one "key = value" setting; returns an error text, empty on success.
// Relative program paths are taken from baseDir.
std::string applySetting(ConverterConfig& cfg, std::string_view key, std::string_view value,
                         const std::filesystem::path& baseDir = {});
// Applies a whole configuration text; blank lines and lines starting with '#'
// or ';' are skipped.  The first error comes back as "line N: ...".
std::string applyConfigText(ConverterConfig& cfg, std::string_view text,
                            const std::filesystem::path& baseDir = {});
// Reads a configuration file; relative paths in it are relative to its folder.
std::string applyConfigFile(ConverterConfig& cfg, const std::filesystem::path& file);

// Reads a program file (a plain program array, or the scanner variant with its
// two-byte length prefix and closing zeros).
std::string loadProgramFile(const std::filesystem::path& file, std::vector<uint8_t>& out);

// Short description of every key, for --help.
std::string_view configHelp();

} // namespace korlin::sim
