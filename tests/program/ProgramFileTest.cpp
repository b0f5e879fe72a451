#include "ProgramFile.h"

#include "DebugLog.h"
#include "ProgramFixtures.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace korlin {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::lines;

class ProgramFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("korlin-program-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    static Bytes readAll(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    static void writeAll(const fs::path& p, const Bytes& b)
    {
        std::ofstream out(p, std::ios::binary);
        out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    }
    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // A held program, assembled.
    void assembleSample(ProgramState& s)
    {
        subs[0] = lines({"Pickups- датчики.", ""});
        subs[1] = test::mipProgram(1, [](int ch) { return std::to_string(ch % 9 + 1); });
        subs[9] = {0};
        subs[14] = lines({"HOL- холодные спаи."});
        test::hold(s, subs);
        MemoryDebugLog log;
        ASSERT_TRUE(New_Write_Array(s, log).ok());
    }

    fs::path dir;
    std::array<Bytes, kSlotCount> subs{};
};

TEST_F(ProgramFile, EmptyProgramFilesAre95And99Bytes)
{
    ProgramState s;
    MemoryDebugLog log;
    ASSERT_TRUE(New_Write_Array(s, log).ok());
    const Bytes prog = programFileBytes(s);
    const Bytes scan = scannerFileBytes(s);
    ASSERT_EQ(prog.size(), 95u);
    ASSERT_EQ(scan.size(), 99u);
    EXPECT_EQ(Bytes(scan.begin() + 2, scan.begin() + 97), prog);
    EXPECT_EQ(scan[0], 95);
    EXPECT_EQ(scan[1], 0);
    EXPECT_EQ(scan[97], 0);
    EXPECT_EQ(scan[98], 0);
}

TEST_F(ProgramFile, ProgramAndScannerFilesRoundTrip)
{
    struct Case { bool scanner; const char* panel; };
    for (const Case c : {Case{false, "Работа с файлом "}, Case{true, "Работа с файлом Тарвик"}}) {
        SCOPED_TRACE(c.panel);
        ProgramState s;
        assembleSample(s);
        const fs::path p = dir / (c.scanner ? "scan.bin" : "prog.bin");
        const SaveResult saved = c.scanner ? saveScannerFile(s, p) : saveProgramFile(s, p);
        ASSERT_TRUE(saved.ok) << saved.detail;
        EXPECT_EQ(fs::file_size(p), s.total_len + (c.scanner ? 4u : 0u));

        ProgramState o;
        const OpenResult r = openProgramArray(o, p, 0);
        EXPECT_TRUE(r.fileRead);
        EXPECT_EQ(r.scannerFile, c.scanner);
        EXPECT_EQ(r.panel0, c.panel);
        EXPECT_EQ(r.panel1, p.string());
        ASSERT_TRUE(r.split.ok()) << r.split.text;
        // The scanner file's two closing zero bytes stay counted after the open.
        EXPECT_EQ(o.total_len, s.total_len + (c.scanner ? 2 : 0));
        for (const int k : kDataSlots)
            EXPECT_EQ(o.subarray[k], subs[k]) << k;
    }
}

TEST_F(ProgramFile, LengthEqualToChecksumIsTakenForAScannerFile)
{
    // A head whose bytes 0..1 happen to equal bytes 2..3.
    Bytes a(kHeadSize + 10, 0);
    writeU16(a, 0, 0x1234);
    writeU16(a, 2, 0x1234);
    a[4] = 0x55;
    a[kHeadSize] = 0x66;
    const fs::path p = dir / "odd.bin";
    writeAll(p, a);

    ProgramState s;
    const OpenResult r = openProgramArray(s, p, 0);
    EXPECT_TRUE(r.scannerFile);
    EXPECT_EQ(r.panel0, "Работа с файлом Тарвик");
    EXPECT_EQ(s.total_len, a.size() - 2);
    EXPECT_EQ(s.prog_array[0], 0x34);
    EXPECT_EQ(s.prog_array[2], 0x55);             // the head shifted by two bytes
    EXPECT_EQ(s.prog_array[kHeadSize - 2], 0x66);
    EXPECT_FALSE(r.split.ok());                   // the shifted head no longer verifies
}

TEST_F(ProgramFile, ScannerRecognitionNeverUnderflows)
{
    ProgramState s; // all zero: bytes 0..1 equal 2..3
    EXPECT_TRUE(takeScannerFile(s));
    EXPECT_EQ(s.total_len, 0);
    s.prog_array[9999] = 7;
    s.prog_array[9998] = 6;
    s.prog_array[5] = 5;
    EXPECT_TRUE(takeScannerFile(s));
    EXPECT_EQ(s.prog_array[3], 5);
    EXPECT_EQ(s.prog_array[9996], 6);
    EXPECT_EQ(s.prog_array[9997], 7);
    EXPECT_EQ(s.prog_array[9998], 6); // the last two bytes stay
    EXPECT_EQ(s.prog_array[9999], 7);
}

TEST_F(ProgramFile, FileLongerThanTheBufferIsRefusedBeforeCopying)
{
    const fs::path p = dir / "big.bin";
    writeAll(p, Bytes(kProgArraySize + 1, 0x41));
    ProgramState s;
    s.prog_array.fill(0x11);
    s.total_len = 321;
    const FileReadResult r = readProgramFile(s, p);
    EXPECT_EQ(r.status, FileReadStatus::TooLong);
    EXPECT_EQ(r.text, std::string(kFileTooLongText));
    EXPECT_EQ(r.caption, "Открытие файла программы");
    EXPECT_TRUE(std::all_of(s.prog_array.begin(), s.prog_array.end(), [](uint8_t b) { return b == 0x11; }));
    EXPECT_EQ(s.total_len, 321);

    writeAll(p, Bytes(kProgArraySize, 0x41)); // exactly full is a valid size
    EXPECT_TRUE(readProgramFile(s, p).ok());
    EXPECT_EQ(s.total_len, kProgArraySize);
}

TEST_F(ProgramFile, OpenFailureAndCancelGoOnWithTheHeldArray)
{
    ProgramState s;
    assembleSample(s);
    s.prog_array = s.new_array;
    const std::size_t held = s.total_len;
    s.subarray = {};

    const OpenResult missing = openProgramArray(s, dir / "none.bin", held);
    EXPECT_EQ(missing.read.status, FileReadStatus::OpenFailed);
    EXPECT_EQ(missing.read.text, "Ошибка открытия файла !!!");
    EXPECT_EQ(missing.read.caption, "Открытие файла программы");
    EXPECT_FALSE(missing.fileRead);
    EXPECT_EQ(missing.panel1, (dir / "none.bin").string());
    ASSERT_TRUE(missing.split.ok());
    EXPECT_EQ(s.subarray[1], subs[1]);

    s.subarray = {};
    const OpenResult cancel = openProgramArray(s, std::nullopt, held);
    EXPECT_TRUE(cancel.read.ok());
    EXPECT_EQ(cancel.panel0, "Работа с файлом ");
    EXPECT_EQ(cancel.panel1, "");
    ASSERT_TRUE(cancel.split.ok());
    EXPECT_EQ(s.subarray[14], subs[14]);
}

TEST_F(ProgramFile, ShortFileIsRefusedBySplit)
{
    ProgramState s;
    assembleSample(s);
    Bytes prog = programFileBytes(s);
    prog.resize(prog.size() - 10);
    writeAll(dir / "cut.bin", prog);
    ProgramState o;
    const OpenResult r = openProgramArray(o, dir / "cut.bin", 0);
    EXPECT_EQ(r.split.status, SplitStatus::BeyondData);
    EXPECT_TRUE(o.subarray[1].empty());
}

TEST_F(ProgramFile, DialogSpecs)
{
    EXPECT_EQ(kOpenDialogSpec.title, "Открытие файла.");
    EXPECT_EQ(kOpenDialogSpec.filter, "Двоичные файлы (*.bin)|*.bin|Все файлы|*.*");
    EXPECT_EQ(kSaveDialogSpec.title, "Запись файла");
    // "Bce" in Latin letters.
    EXPECT_NE(kSaveDialogSpec.filter.find("|Bce файлы|"), std::string::npos);
    EXPECT_EQ(kSaveDialogSpec.filter.find("Все"), std::string::npos);
    for (const auto* spec : {&kOpenDialogSpec, &kSaveDialogSpec}) {
        EXPECT_EQ(spec->defaultExt, ".bin");
        EXPECT_EQ(spec->fileName, "9327progarray.bin");
    }
}

// ---- safe save ----------------------------------------------------------------

struct FailingOps final : SaveFileOps {
    enum Where { Write, ShortWrite, Fsync, Rename } where;
    explicit FailingOps(Where w) : where(w) {}
    long write(int fd, const uint8_t* data, std::size_t n) override
    {
        if (where == Write) {
            errno = ENOSPC;
            return -1;
        }
        if (where == ShortWrite) {
            if (written)
                return 0; // the device takes nothing more
            written = true;
            return SaveFileOps::write(fd, data, n / 2);
        }
        return SaveFileOps::write(fd, data, n);
    }
    int fsync(int fd) override
    {
        if (where == Fsync) {
            errno = EIO;
            return -1;
        }
        return SaveFileOps::fsync(fd);
    }
    int rename(const char* from, const char* to) override
    {
        if (where == Rename) {
            errno = EXDEV;
            return -1;
        }
        return SaveFileOps::rename(from, to);
    }
    bool written = false;
};

TEST_F(ProgramFile, FailedSaveLeavesTheOldFileIntact)
{
    ProgramState s;
    assembleSample(s);
    const fs::path p = dir / "9327progarray.bin";
    const Bytes old = {1, 2, 3, 4, 5};
    for (const auto where : {FailingOps::Write, FailingOps::ShortWrite, FailingOps::Fsync, FailingOps::Rename}) {
        SCOPED_TRACE(int(where));
        writeAll(p, old);
        FailingOps ops(where);
        const SaveResult prog = saveProgramFile(s, p, &ops);
        EXPECT_FALSE(prog.ok);
        EXPECT_EQ(prog.text, "Не могу открыть файл для записи!!!");
        EXPECT_EQ(prog.caption, "Открытие файла программы");
        EXPECT_FALSE(prog.detail.empty());
        FailingOps ops2(where);
        const SaveResult scan = saveScannerFile(s, p, &ops2);
        EXPECT_FALSE(scan.ok);
        EXPECT_EQ(scan.text, "Ошибка открытия файла !!!");
        EXPECT_EQ(readAll(p), old);
        EXPECT_EQ(entries(), std::vector<std::string>{"9327progarray.bin"}); // no temporary left
    }
}

TEST_F(ProgramFile, SaveIntoAMissingDirectoryOrOverADirectoryFails)
{
    ProgramState s;
    assembleSample(s);
    EXPECT_FALSE(saveProgramFile(s, dir / "no" / "such.bin").ok);
    fs::create_directory(dir / "taken.bin");
    writeAll(dir / "taken.bin" / "inside", {9});
    EXPECT_FALSE(saveProgramFile(s, dir / "taken.bin").ok);
    EXPECT_EQ(readAll(dir / "taken.bin" / "inside"), Bytes{9});
    EXPECT_EQ(entries(), std::vector<std::string>{"taken.bin"});
}

TEST_F(ProgramFile, SaveReplacesContentKeepsModeAndFollowsLinks)
{
    ProgramState s;
    assembleSample(s);
    const fs::path p = dir / "a.bin";
    writeAll(p, Bytes(20000, 0xAA)); // longer than the new content
    ::chmod(p.c_str(), 0640);
    fs::create_symlink("a.bin", dir / "link.bin");

    ASSERT_TRUE(saveProgramFile(s, dir / "link.bin").ok);
    EXPECT_TRUE(fs::is_symlink(dir / "link.bin"));
    EXPECT_EQ(readAll(p), programFileBytes(s));
    struct stat st {};
    ASSERT_EQ(::stat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(entries(), (std::vector<std::string>{"a.bin", "link.bin"}));
}

} // namespace
} // namespace korlin
