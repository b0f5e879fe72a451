// Fuzz target: a program file as it is opened (read into prog_array, scanner
// recognition, split with its checks), the sensor map over it, the check and
// dump texts, and, for arrays that split, the assembly and both file formats
// back through the open.  Besides the sanitizers it checks the round trips.
//
// Input: one flag byte, then the file's bytes.
//   bit 0  store the correct checksum first, so that the split gets past it
//   bit 1  run the sensor map with offsets and lengths taken from the input
//   bit 2  claim the whole buffer as valid instead of the file's size
//   bit 3  leave stale non-zero bytes in prog_array behind the file
#include "DebugLog.h"
#include "ProgramArray.h"
#include "ProgramFile.h"
#include "ProgramReport.h"
#include "SensorMap.h"
#include "UserDialogs.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

using namespace korlin;

namespace {

class NullLog final : public DebugLog {
public:
    void LogMessage(std::string_view, std::string_view) override {}
};

void require(bool ok)
{
    if (!ok)
        std::abort();
}

bool sameSubArrays(const ProgramState& a, const ProgramState& b)
{
    for (const int k : kDataSlots)
        if (a.subarray[k] != b.subarray[k] || a.subarray_len[k] != b.subarray_len[k])
            return false;
    return true;
}

void roundTrip(ProgramState& s, NullLog& log)
{
    const AssemblyResult a = New_Write_Array(s, log);
    if (!a.ok())
        return; // too long once sub-array 9 is one byte
    require(s.total_len + 1u <= kProgArraySize);
    require(verifyChecksum(s.new_array, s.subarray_off, s.subarray_len).ok);

    ProgramState back;
    back.prog_array = s.new_array;
    require(prog_array_destrukt(back, s.total_len).ok());
    require(sameSubArrays(s, back));

    const std::vector<uint8_t> scanner = scannerFileBytes(s);
    require(scanner.size() == s.total_len + 4u);
    ProgramState sc;
    require(loadProgramBytes(sc, scanner).ok());
    require(takeScannerFile(sc));
    require(prog_array_destrukt(sc, sc.total_len).ok());
    require(sameSubArrays(s, sc));

    const std::vector<uint8_t> prog = programFileBytes(s);
    if (storedTotalLength(prog) != storedChecksum(prog)) { // else it passes for a scanner file
        ProgramState pf;
        require(loadProgramBytes(pf, prog).ok());
        require(!takeScannerFile(pf));
        require(prog_array_destrukt(pf, pf.total_len).ok());
        require(sameSubArrays(s, pf));
    }
    (void)dumpSubArrays(s);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t flags = data[0];
    const std::span<const uint8_t> file(data + 1, size - 1);

    ProgramState s;
    if (flags & 8)
        s.prog_array.fill(' ');
    const ArrayBuffer before = s.prog_array;
    const FileReadResult read = loadProgramBytes(s, file);
    require(read.ok() == (file.size() <= kProgArraySize));
    if (!read.ok()) {
        require(s.prog_array == before && s.total_len == 0);
        return 0;
    }

    const bool scanner = takeScannerFile(s);
    require(!scanner || s.total_len == (file.size() >= 2 ? file.size() - 2 : 0));
    const std::size_t valid = (flags & 4) ? kProgArraySize : s.total_len;

    if (flags & 1) {
        const ArrayLayout l = readLayout(s.prog_array);
        if (l.extent <= kProgArraySize)
            writeU16(s.prog_array, 2, checksum(s.prog_array, l.off, l.len).value());
    }

    const std::span<const uint8_t> present(s.prog_array.data(), std::min(valid, kProgArraySize));
    (void)checkReport(present);
    (void)dumpSubArrays(present);

    const ProgramState held = s;
    const SplitResult split = prog_array_destrukt(s, valid);
    if (!split.ok())
        require(sameSubArrays(s, held) && s.subarray_off == held.subarray_off);
    else
        require(ButtonSearschCRC(s).ok);

    SensorTables tables;
    ScriptedDialogs dialogs;
    NullLog log;
    if (flags & 2) {
        SlotOffsets off{};
        SlotLengths len{};
        for (int k = 0; k < kSlotCount; ++k) {
            off[k] = readU16(file, 4 * std::size_t(k));
            len[k] = readU16(file, 4 * std::size_t(k) + 2);
        }
        (void)kan_tip_datchik1_864(s.prog_array, off, len, tables, dialogs, log);
    } else {
        (void)kan_tip_datchik1_864(s, tables, dialogs, log);
    }
    for (std::size_t n = 217; n < kSensorTableSize; ++n)
        require(tables.sensor_type[n] == 0 && tables.sensor_class[n] == 0);

    if (split.ok())
        roundTrip(s, log);
    return 0;
}
