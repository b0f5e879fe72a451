#include "ConverterConfig.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace korlin::sim {

namespace {

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// Decimal or 0x-hexadecimal, optionally negative.
std::optional<int64_t> number(std::string_view s)
{
    s = trim(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty())
        return std::nullopt;
    int64_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return negative ? -v : v;
}

std::optional<bool> truth(std::string_view s)
{
    s = trim(s);
    if (s == "1" || s == "true" || s == "on" || s == "yes")
        return true;
    if (s == "0" || s == "false" || s == "off" || s == "no")
        return false;
    return std::nullopt;
}

std::string rangeError(std::string_view key, int64_t lo, int64_t hi)
{
    return std::string(key) + ": expected a number from " + std::to_string(lo) + " to " + std::to_string(hi);
}

// key "prefix.N": N when key starts with prefix.
std::optional<int64_t> indexed(std::string_view key, std::string_view prefix)
{
    if (key.size() <= prefix.size() || key.substr(0, prefix.size()) != prefix)
        return std::nullopt;
    return number(key.substr(prefix.size()));
}

std::optional<DateTime> dateTime(std::string_view s)
{
    // "YYYY-MM-DD HH:MM:SS" (or with a 'T' between date and time)
    DateTime t;
    const std::string text(trim(s));
    char sep = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%d%c%d:%d:%d", &t.year, &t.month, &t.day, &sep, &t.hour, &t.minute,
                    &t.second) != 7
        || (sep != ' ' && sep != 'T'))
        return std::nullopt;
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour < 0 || t.hour > 23 || t.minute < 0
        || t.minute > 59 || t.second < 0 || t.second > 59)
        return std::nullopt;
    return t;
}

} // namespace

std::string loadProgramFile(const std::filesystem::path& file, std::vector<uint8_t>& out)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return "cannot open program file " + file.string();
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() > 65536)
        return "program file " + file.string() + " is longer than any program array";
    // The scanner variant: a copy of the total length in front, two zeros behind.
    if (bytes.size() >= 4 && bytes[0] == bytes[2] && bytes[1] == bytes[3]
        && size_t(bytes[0] | (bytes[1] << 8)) + 4 == bytes.size()) {
        bytes.erase(bytes.begin(), bytes.begin() + 2);
        bytes.resize(bytes.size() - 2);
    }
    if (bytes.empty())
        return "program file " + file.string() + " is empty";
    out = std::move(bytes);
    return {};
}

std::string applySetting(ConverterConfig& cfg, std::string_view key, std::string_view value,
                         const std::filesystem::path& baseDir)
{
    key = trim(key);
    value = trim(value);
    const auto num = number(value);
    auto inRange = [&](int64_t lo, int64_t hi) { return num && *num >= lo && *num <= hi; };
    Faults& f = cfg.faults;

    if (key == "address") {
        if (!inRange(1, 32))
            return rangeError(key, 1, 32);
        cfg.address = int(*num);
    } else if (key == "protocol") {
        if (value == "native")
            cfg.protocol = Protocol::Native;
        else if (value == "modbus")
            cfg.protocol = Protocol::Modbus;
        else
            return "protocol: expected native or modbus";
    } else if (key == "status") {
        if (!inRange(0, 255))
            return rangeError(key, 0, 255);
        cfg.status = uint8_t(*num);
    } else if (key == "program") {
        if (value == "default") {
            cfg.program.clear();
            return {};
        }
        std::filesystem::path p{std::string(value)};
        if (p.is_relative() && !baseDir.empty())
            p = baseDir / p;
        return loadProgramFile(p, cfg.program);
    } else if (key == "clock") {
        const auto t = dateTime(value);
        if (!t)
            return "clock: expected YYYY-MM-DD HH:MM:SS";
        cfg.clock = *t;
    } else if (key == "turnaround.us" || key == "frame.gap.us" || key == "load.silence.us"
               || key == "data.timeout.us") {
        if (!inRange(0, 60000000))
            return rangeError(key, 0, 60000000);
        (key == "turnaround.us"     ? cfg.turnaroundUs
         : key == "frame.gap.us"    ? cfg.frameGapUs
         : key == "load.silence.us" ? cfg.loadSilenceUs
                                    : cfg.dataTimeoutUs) = *num;
    } else if (key == "disk.size" || key == "ram.size") {
        if (!inRange(0, 65535))
            return rangeError(key, 0, 65535);
        (key == "disk.size" ? cfg.diskZone : cfg.ramZone) = size_t(*num);
    } else if (const auto n = indexed(key, "channel.")) {
        if (*n < 1 || *n > 864)
            return "channel number must be 1..864";
        if (!inRange(-32768, 32767))
            return rangeError(key, -32768, 32767);
        cfg.channels[int(*n)].value = int16_t(*num);
    } else if (const auto n = indexed(key, "state.")) {
        if (*n < 1 || *n > 864)
            return "channel number must be 1..864";
        if (!inRange(0, 15))
            return rangeError(key, 0, 15);
        cfg.channels[int(*n)].state = uint8_t(*num);
    } else if (const auto n = indexed(key, "word.")) {
        if (*n < 1 || *n > 864)
            return "channel number must be 1..864";
        if (!inRange(0x8000, 0x8005))
            return rangeError(key, 0x8000, 0x8005);
        cfg.channels[int(*n)].word = uint16_t(*num);
    } else if (const auto k = indexed(key, "service.flag.")) {
        const auto b = truth(value);
        if (*k < 0 || *k > 295 || !b)
            return "service.flag.K: K is 0..295, the value 0 or 1";
        cfg.service[int(*k)].flag = *b;
    } else if (const auto k = indexed(key, "service.value.")) {
        if (*k < 0 || *k > 295 || !inRange(-32768, 65535))
            return "service.value.K: K is 0..295, the value -32768..65535";
        cfg.service[int(*k)].value = uint16_t(*num);
    } else if (key == "fault.silent") {
        const auto b = truth(value);
        if (!b)
            return "fault.silent: expected 0 or 1";
        f.silent = *b;
    } else if (key == "fault.commands") {
        f.commands.clear();
        std::string_view rest = value;
        while (!rest.empty()) {
            const size_t cut = rest.find_first_of(", ");
            const std::string_view item = rest.substr(0, cut);
            rest = cut == std::string_view::npos ? std::string_view{} : rest.substr(cut + 1);
            if (trim(item).empty())
                continue;
            const auto c = number(item);
            if (!c || *c < 0 || *c > 255)
                return "fault.commands: expected command codes such as 0x02,0x1D";
            f.commands.insert(uint8_t(*c));
        }
    } else if (key == "fault.truncate") {
        if (value == "off") {
            f.truncate.reset();
            return {};
        }
        if (!inRange(0, 65535))
            return rangeError(key, 0, 65535);
        f.truncate = size_t(*num);
    } else if (const auto k = indexed(key, "fault.xor.")) {
        if (*k < 0 || *k > 65535 || !inRange(0, 255))
            return "fault.xor.K: K is a byte index, the value a pattern 0..0xFF";
        f.xorAt[size_t(*k)] = uint8_t(*num);
    } else if (key == "fault.random.seed") {
        if (value == "off") {
            f.randomSeed.reset();
            return {};
        }
        if (!inRange(0, 0xFFFFFFFF))
            return rangeError(key, 0, 0xFFFFFFFF);
        f.randomSeed = uint32_t(*num);
    } else if (key == "fault.random.count") {
        if (!inRange(1, 65535))
            return rangeError(key, 1, 65535);
        f.randomCount = int(*num);
    } else if (key == "fault.gap.us" || key == "fault.modbus.delay.us") {
        if (!inRange(0, 60000000))
            return rangeError(key, 0, 60000000);
        (key == "fault.gap.us" ? f.gapUs : f.modbusDelayUs) = *num;
    } else if (const auto k = indexed(key, "fault.insert.")) {
        if (*k < 0 || *k > 221 || !inRange(0, 1023))
            return "fault.insert.K: K is a record index 0..221, the value a channel number 0..1023";
        f.insertRecord[int(*k)] = int(*num);
    } else if (const auto k = indexed(key, "fault.renumber.")) {
        if (*k < 0 || *k > 221 || !inRange(0, 1023))
            return "fault.renumber.K: K is a record index 0..221, the value a channel number 0..1023";
        f.renumberRecord[int(*k)] = int(*num);
    } else if (key == "fault.checksum") {
        const auto b = truth(value);
        if (!b)
            return "fault.checksum: expected 0 or 1";
        f.badChecksum = *b;
    } else if (key == "fault.headlen") {
        if (!inRange(0, 65535))
            return rangeError(key, 0, 65535);
        f.headBeyond = int(*num);
    } else if (key == "fault.status") {
        if (value == "off") {
            f.stuckStatus.reset();
            return {};
        }
        if (!inRange(0, 255))
            return rangeError(key, 0, 255);
        f.stuckStatus = uint8_t(*num);
    } else {
        return "unknown key '" + std::string(key) + "'";
    }
    return {};
}

std::string applyConfigText(ConverterConfig& cfg, std::string_view text, const std::filesystem::path& baseDir)
{
    int lineNo = 0;
    while (!text.empty()) {
        const size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
        ++lineNo;
        line = trim(line);
        if (line.empty() || line.front() == '#' || line.front() == ';')
            continue;
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            return "line " + std::to_string(lineNo) + ": expected key = value";
        if (auto e = applySetting(cfg, line.substr(0, eq), line.substr(eq + 1), baseDir); !e.empty())
            return "line " + std::to_string(lineNo) + ": " + e;
    }
    return {};
}

std::string applyConfigFile(ConverterConfig& cfg, const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return "cannot open configuration file " + file.string();
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (auto e = applyConfigText(cfg, text, file.parent_path()); !e.empty())
        return file.string() + ": " + e;
    return {};
}

std::string_view configHelp()
{
    return R"(Settings (file lines "key = value", or flags --key=value / --key value):
  address = 1..32               bus address (MODBUS: slave address)
  protocol = native | modbus    the one protocol the unit speaks
  status = 129                  status byte (129 measuring, 138 waiting, 130, 132, 133, 135, 136, 137)
  program = FILE | default      program array file (plain or scanner variant)
  clock = YYYY-MM-DD HH:MM:SS   the converter's clock at start (mip-sim: the PC clock)
  turnaround.us = 3000          request end to first answer byte
  frame.gap.us = 4375           silence that separates frames
  load.silence.us = 50000       silence that ends a program array after 0x10
  data.timeout.us = 2000000     wait for the data block of 0x20, 0x24, 0x10
  disk.size = 10000             disk zone: longer arrays get 135
  ram.size = 8000               RAM zone: longer arrays get 136
  channel.N = VALUE             fixed raw value of logical channel N
  state.N = 0..15               state code of channel N
  word.N = 0x8000..0x8005       status word in place of channel N's value
  service.flag.K = 0|1          flag of service record K (0..295)
  service.value.K = VALUE       raw value of service record K
Faults:
  fault.commands = 0x02,0x1D    answers the faults below apply to (empty: all; 3 = MODBUS)
  fault.silent = 1              answer nothing
  fault.truncate = N            keep the first N bytes of an answer
  fault.xor.K = 0xPP            XOR a pattern into answer byte K
  fault.random.seed = S         garble random bytes (fault.random.count per answer)
  fault.gap.us = N              extra silence between answer bytes
  fault.modbus.delay.us = N     extra delay before a MODBUS answer
  fault.insert.K = N            extra working-channel record numbered N before record K
  fault.renumber.K = N          working-channel record K numbered N
  fault.checksum = 1            program array sent with a wrong checksum
  fault.headlen = N             HOL head length N bytes beyond the data
  fault.status = 133 | off      status stuck at this value
)";
}

} // namespace korlin::sim
