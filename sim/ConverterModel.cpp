#include "ConverterModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "BusProtocol.h"
#include "Funci.h"

namespace korlin::sim {

namespace {

constexpr size_t kLoadCapacity = 65536;   // more than any head can announce
constexpr size_t kModbusFrameMax = 256;
constexpr uint8_t kModbusCommand = 0x03;  // the faults' name for MODBUS answers

bool isAddressByte(uint8_t b)
{
    return b >= bus::addressByte(bus::kMinAddress) && b <= bus::addressByte(bus::kMaxAddress);
}

int64_t floorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

int daysInMonth(int year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

void appendCrc(std::vector<uint8_t>& frame)
{
    const uint16_t v = CRC16(frame.data(), int16_t(frame.size()));
    frame.push_back(uint8_t(v >> 8));   // the CRC's low-order byte
    frame.push_back(uint8_t(v & 0xFF));
}

// A status word of the native answer as the MODBUS register shows it.
uint16_t modbusCondition(uint16_t word)
{
    switch (word) {
    case 0x8000: return 2;      // МИП fault
    case 0x8002: return 4;      // ADC overload
    case 0x8003: return 5;      // below the lower limit
    case 0x8004: return 6;      // above the upper limit
    default: return word;       // 0x8001 (sensor fault) is the same on both
    }
}

} // namespace

ConverterModel::ConverterModel(ConverterConfig cfg)
    : cfg_(std::move(cfg)), address_(cfg_.address), status_(cfg_.status),
      clockBase_(cfg_.clock.value_or(kDefaultClock))
{
    setProgram(cfg_.program.empty() ? defaultProgram() : cfg_.program);
}

void ConverterModel::setProgram(std::vector<uint8_t> p)
{
    program_ = std::move(p);
    lines_ = channelLines(program_);
}

uint8_t ConverterModel::status() const
{
    return cfg_.faults.stuckStatus.value_or(status_);
}

DateTime ConverterModel::clockAt(int64_t atUs) const
{
    return addSeconds(clockBase_, floorDiv(atUs - clockBaseUs_, 1000000));
}

// ---------------------------------------------------------------- receiving

std::optional<int64_t> ConverterModel::wakeAt() const
{
    const int64_t last = lastRxUs_.value_or(0);
    if (cfg_.protocol == Protocol::Modbus) {
        if (mbFrame_.empty())
            return std::nullopt;
        return last + kByteTimeUs + cfg_.frameGapUs;
    }
    switch (rx_) {
    case Rx::Idle: return std::nullopt;
    case Rx::Code: return last + kByteTimeUs + cfg_.frameGapUs;
    case Rx::Data: return deadlineUs_;
    case Rx::Load: return loadCount_ == 0 ? deadlineUs_ : last + kByteTimeUs + cfg_.loadSilenceUs;
    }
    return std::nullopt;
}

void ConverterModel::wake(int64_t atUs, LineTx& tx)
{
    const auto due = wakeAt();
    if (!due || *due > atUs)
        return;
    if (cfg_.protocol == Protocol::Modbus) {
        modbusFrame(atUs, tx);
        return;
    }
    if (rx_ == Rx::Load)
        finishLoad(atUs);
    rx_ = Rx::Idle; // a frame without its code, or a data block that never came
}

void ConverterModel::receive(uint8_t byte, int64_t atUs, LineTx& tx)
{
    // Whatever ended before this byte started ends first.
    if (const auto due = wakeAt(); due && *due <= atUs)
        wake(*due, tx);

    if (cfg_.protocol == Protocol::Modbus) {
        if (mbFrame_.size() < kModbusFrameMax)
            mbFrame_.push_back(byte);
    } else {
        nativeByte(byte, atUs, tx);
    }
    lastRxUs_ = atUs;
}

void ConverterModel::nativeByte(uint8_t byte, int64_t atUs, LineTx& tx)
{
    const bool burstStart = !lastRxUs_ || atUs - *lastRxUs_ >= kByteTimeUs + cfg_.frameGapUs;
    switch (rx_) {
    case Rx::Idle:
        if (burstStart && isAddressByte(byte)) {
            rx_ = Rx::Code;
            mine_ = byte == bus::addressByte(address_);
        }
        return;
    case Rx::Code:
        if (isAddressByte(byte)) { // a new frame start within the burst
            mine_ = byte == bus::addressByte(address_);
            return;
        }
        rx_ = Rx::Idle;
        command(byte, atUs, tx);
        return;
    case Rx::Data:
        data_.push_back(byte);
        if (data_.size() >= need_) {
            rx_ = Rx::Idle;
            if (mine_)
                dataComplete(atUs);
        }
        return;
    case Rx::Load:
        ++loadCount_;
        if (mine_ && data_.size() < kLoadCapacity)
            data_.push_back(byte);
        return;
    }
}

void ConverterModel::command(uint8_t code, int64_t atUs, LineTx& tx)
{
    const int64_t answerAt = atUs + cfg_.turnaroundUs;
    auto expectData = [&](size_t n) {
        rx_ = Rx::Data;
        pendingCode_ = code;
        need_ = n;
        data_.clear();
        deadlineUs_ = atUs + cfg_.dataTimeoutUs;
    };
    // Data blocks follow these codes whoever the frame is for.
    switch (code) {
    case bus::NewAddress: expectData(1); return;
    case bus::Clock: expectData(7); return;
    case bus::ProgramLoad:
        rx_ = Rx::Load;
        loadCount_ = 0;
        data_.clear();
        deadlineUs_ = atUs + cfg_.dataTimeoutUs;
        return;
    default: break;
    }
    if (!mine_)
        return;
    switch (code) {
    case bus::StateQuery: answer(code, {status()}, answerAt, tx); break;
    case bus::WorkingChannels: answer(code, workingAnswer(atUs), answerAt, tx); break;
    case bus::ServiceChannels: answer(code, serviceAnswer(atUs), answerAt, tx); break;
    case bus::ProgramRead: answer(code, programAnswer(), answerAt, tx); break;
    case bus::AddressQuery: answer(code, {bus::addressByte(address_)}, answerAt, tx); break;
    case bus::WaitingMode:
        if (status_ != bus::Manual) // manual mode is left only at the device
            status_ = bus::Waiting;
        break;
    case bus::MeasuringMode:
        if (status_ != bus::Manual)
            status_ = bus::Measuring;
        break;
    default: break; // unknown codes go unanswered
    }
}

void ConverterModel::dataComplete(int64_t atUs)
{
    if (pendingCode_ == bus::NewAddress) {
        if (isAddressByte(data_[0]))
            address_ = data_[0] - bus::kAddressBase;
        return;
    }
    if (pendingCode_ == bus::Clock) {
        // seconds (1..60: the PC's seconds + 1), minutes, hours, day, month,
        // year low, year high; plain binary.
        const int sec = data_[0], min = data_[1], hour = data_[2], day = data_[3], month = data_[4];
        const int year = data_[5] | (data_[6] << 8);
        if (sec > 60 || min > 59 || hour > 23 || month < 1 || month > 12 || day < 1
            || day > daysInMonth(year, month))
            return; // a converter keeps its clock on a record it cannot take
        clockBase_ = addSeconds(DateTime{year, month, day, hour, min, 0}, sec);
        clockBaseUs_ = atUs;
    }
}

void ConverterModel::finishLoad(int64_t /*atUs*/)
{
    rx_ = Rx::Idle;
    if (!mine_)
        return;
    const size_t n = loadCount_;
    uint8_t verdict;
    if (n < 2 || n > data_.size() || readU16(data_, 0) != n)
        verdict = bus::CountMismatch;
    else if (const auto sum = arrayChecksum(data_); !sum || *sum != readU16(data_, 2))
        verdict = bus::ChecksumMismatch;
    else if (n > cfg_.diskZone)
        verdict = bus::TooLongForDisk;
    else if (n > cfg_.ramZone)
        verdict = bus::TooLongForRam;
    else
        verdict = bus::Measuring;
    if (verdict == bus::Measuring)
        setProgram(data_);
    status_ = verdict;
    lastLoad_ = LoadResult{n, verdict};
    data_.clear();
    loadCount_ = 0;
}

// ------------------------------------------------------------------ MODBUS

void ConverterModel::modbusFrame(int64_t atUs, LineTx& tx)
{
    std::vector<uint8_t> f;
    f.swap(mbFrame_);
    const size_t n = f.size();
    if (n < 4)
        return;
    const uint16_t crc = CRC16(f.data(), int16_t(n - 2));
    if (f[n - 2] != uint8_t(crc >> 8) || f[n - 1] != uint8_t(crc & 0xFF))
        return; // a damaged frame is not answered
    if (f[0] != address_)
        return; // another slave's, or a broadcast: reads get no answer

    std::vector<uint8_t> out{f[0]};
    auto exception = [&](uint8_t code) {
        out.push_back(uint8_t(f[1] | 0x80));
        out.push_back(code);
    };
    if (f[1] != bus::modbus::kReadHolding) {
        exception(0x01); // illegal function
    } else if (n != 8) {
        exception(0x03); // illegal data value
    } else {
        const int first = (f[2] << 8) | f[3];
        const int count = (f[4] << 8) | f[5];
        if (count < 1 || count > 125) {
            exception(0x03);
        } else if (first == kModbusStatusRegister && count == 1) {
            out.insert(out.end(), {bus::modbus::kReadHolding, 2, 0, status()});
        } else if (first >= 1 && first + count - 1 <= kModbusChannels) {
            out.push_back(bus::modbus::kReadHolding);
            out.push_back(uint8_t(2 * count));
            for (int r = first; r < first + count; ++r) {
                const uint16_t v = modbusRegister(r, atUs);
                out.push_back(uint8_t(v >> 8));
                out.push_back(uint8_t(v & 0xFF));
            }
        } else {
            exception(0x02); // illegal data address
        }
    }
    appendCrc(out);
    int64_t start = atUs + cfg_.turnaroundUs;
    if (cfg_.faults.applies(kModbusCommand))
        start += cfg_.faults.modbusDelayUs;
    answer(kModbusCommand, std::move(out), start, tx);
}

uint16_t ConverterModel::modbusRegister(int n, int64_t atUs) const
{
    const auto it = cfg_.channels.find(n);
    if (it != cfg_.channels.end() && it->second.word)
        return modbusCondition(*it->second.word);
    return uint16_t(channelValue(n, atUs));
}

// ---------------------------------------------------------------- answers

void ConverterModel::answer(uint8_t command, std::vector<uint8_t> bytes, int64_t startUs, LineTx& tx)
{
    const Faults& f = cfg_.faults;
    int64_t gap = 0;
    if (f.applies(command)) {
        if (f.silent)
            return;
        for (const auto& [i, pattern] : f.xorAt)
            if (i < bytes.size())
                bytes[i] ^= pattern;
        if (f.randomSeed && !bytes.empty()) {
            if (seededWith_ != f.randomSeed) {
                rng_.seed(*f.randomSeed);
                seededWith_ = f.randomSeed;
            }
            for (int c = 0; c < f.randomCount; ++c) {
                const size_t pos = rng_() % bytes.size();
                bytes[pos] ^= uint8_t(1 + rng_() % 255);
            }
        }
        if (f.truncate && *f.truncate < bytes.size())
            bytes.resize(*f.truncate);
        gap = f.gapUs;
    }
    if (!bytes.empty())
        tx.send(bytes.data(), bytes.size(), startUs, gap);
}

std::vector<uint8_t> ConverterModel::clockHeader(int64_t atUs) const
{
    const DateTime t = clockAt(atUs);
    return {uint8_t(t.day), uint8_t(t.month), uint8_t(t.minute), uint8_t(t.hour), 0, uint8_t(t.second),
            0, 0, 0, 0};
}

const ChannelLine* ConverterModel::lineOf(int n) const
{
    for (const auto& l : lines_)
        if (l.input == n)
            return &l;
    return nullptr;
}

int16_t ConverterModel::channelValue(int n, int64_t atUs) const
{
    const auto it = cfg_.channels.find(n);
    if (it != cfg_.channels.end()) {
        if (it->second.word)
            return int16_t(*it->second.word);
        if (it->second.value)
            return *it->second.value;
    }
    const ChannelLine* line = lineOf(n);
    if (!line)
        return 0;
    // Slow waves, a different period and phase per channel, so that a
    // display polled every few seconds sees each value move.
    const double t = double(atUs) / 1e6;
    const double period = 60.0 + (n * 13) % 120;
    const double s = std::sin(2 * std::numbers::pi * t / period + 0.7 * n);
    switch (sensorClass(line->type).value_or(0)) {
    case 1: return int16_t(std::lround(12000 + 6000 * s));              // 6..18 mA in 0.001 mA
    case 2: return int16_t(std::lround(150 + (n * 37) % 500 + 25 * s)); // 15..65 C in 0.1 C
    case 3: return int16_t(std::lround(5000 + 2500 * s));               // 2.5..7.5 V in 0.001 V
    case 4: return int16_t(std::lround(2500 + 1000 * s));               // 15..35 mV in 0.01 mV
    case 5: return int16_t((int64_t(t / (20 + n % 20)) + n) % 2);       // contact opens and closes
    default: return 0;
    }
}

std::vector<uint8_t> ConverterModel::workingAnswer(int64_t atUs) const
{
    std::vector<uint8_t> out = clockHeader(atUs);
    const Faults& f = cfg_.faults;
    size_t records = 0;
    auto record = [&](int number, int channel) {
        if (records >= kWorkingRecords)
            return;
        uint8_t state = 0;
        if (const auto it = cfg_.channels.find(channel); it != cfg_.channels.end() && it->second.state)
            state = *it->second.state & 0x0F;
        const uint16_t v = uint16_t(channelValue(channel, atUs));
        out.insert(out.end(), {uint8_t(number & 0xFF), uint8_t(((number >> 8) & 0x03) | (state << 2)),
                               uint8_t(v & 0xFF), uint8_t(v >> 8)});
        ++records;
    };
    for (size_t k = 0; k <= lines_.size(); ++k) {
        if (const auto ins = f.insertRecord.find(int(k)); ins != f.insertRecord.end())
            record(ins->second, ins->second);
        if (k == lines_.size())
            break;
        const int channel = lines_[k].input;
        const auto re = f.renumberRecord.find(int(k));
        record(re != f.renumberRecord.end() ? re->second : channel, channel);
    }
    // Channels not in the program: zero records to the end of the block.
    out.resize(kWorkingHeader + 4 * kWorkingRecords, 0);
    return out;
}

std::vector<uint8_t> ConverterModel::serviceAnswer(int64_t atUs) const
{
    std::vector<uint8_t> out = clockHeader(atUs);
    out.resize(kServiceAnswerSize, 0);
    const double t = double(atUs) / 1e6;
    for (size_t k = 0; k < kServiceRecords; ++k) {
        // Records 0..79 are service channels 109..188 (parameter codes 1..80);
        // the rest carry parameter codes 81..98 in twelve groups.
        uint8_t q, l;
        if (k < 80) {
            q = uint8_t(k + 1);
            l = 0;
        } else {
            q = uint8_t(81 + (k - 80) % 18);
            l = uint8_t((k - 80) / 18);
        }
        bool flag = false;
        uint16_t value = uint16_t(std::lround(1638 + double((k * 97) % 4000) + 200 * std::sin(t / 30 + double(k))));
        if (const auto it = cfg_.service.find(int(k)); it != cfg_.service.end()) {
            flag = it->second.flag;
            if (it->second.value)
                value = *it->second.value;
        }
        uint8_t* r = out.data() + 10 + k * kServiceRecordSize;
        r[0] = uint8_t((1 << 4) | l);
        r[1] = uint8_t(q | (flag ? 0x80 : 0));
        r[2] = uint8_t(value & 0xFF);
        r[3] = uint8_t(value >> 8);
    }
    return out;
}

std::vector<uint8_t> ConverterModel::programAnswer() const
{
    std::vector<uint8_t> p = program_;
    const Faults& f = cfg_.faults;
    if (f.badChecksum && p.size() >= 4)
        writeU16(p, 2, uint16_t((readU16(p, 2) + 1) % 30031));
    if (f.headBeyond != 0 && p.size() >= kHeadSize) {
        const size_t at = slotLengthOffset(14);
        writeU16(p, at, uint16_t(std::min<int>(0xFFFF, readU16(p, at) + f.headBeyond)));
    }
    const size_t total = readU16(p, 0);
    if (total >= kHeadSize && total <= p.size())
        p.resize(total);
    return p;
}

} // namespace korlin::sim
