#pragma once
// Program files.
//
// Program file ("9327progarray.bin"): the total_len bytes of one program
// array, nothing before or after.  The group-programming templates are the
// same.
//
// QNX scanner file: [total length, u16 low first][the array][its closing 0][0],
// total_len + 4 bytes.  Its bytes 0..1 equal its bytes 2..3, and that is how
// an open tells it from a program file.
#include "ProgramArray.h"
#include "UserDialogs.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korlin {

inline constexpr std::string_view kProgramFileName = "9327progarray.bin";
inline constexpr std::string_view kFileCaption = "Открытие файла программы";
inline constexpr std::string_view kOpenErrorText = "Ошибка открытия файла !!!";
inline constexpr std::string_view kWriteErrorText = "Не могу открыть файл для записи!!!";
// Ours: a file too long to be a program array.
inline constexpr std::string_view kFileTooLongText =
    "Файл длиннее 10000 байт и не может быть программным массивом! Файл не загружен.";

// Status bar panel 0 after an open.
inline constexpr std::string_view kPanelFileText = "Работа с файлом ";
inline constexpr std::string_view kPanelScannerFileText = "Работа с файлом Тарвик";

// OpenDialog1 and SaveDialog1 ("Bce" of the save filter is written in Latin letters).
inline const FileDialogSpec kOpenDialogSpec{
    "Открытие файла.", "Двоичные файлы (*.bin)|*.bin|Все файлы|*.*", ".bin", std::string(kProgramFileName)};
inline const FileDialogSpec kSaveDialogSpec{
    "Запись файла", "Бинарные файлы (*.bin)|*.bin|Bce файлы|*.*", ".bin", std::string(kProgramFileName)};

// ---- building the files -----------------------------------------------------

// Bytes 0..total_len-1 of new_array.
std::vector<uint8_t> programFileBytes(const ProgramState& state);
// The scanner file of new_array: total_len + 4 bytes.
std::vector<uint8_t> scannerFileBytes(const ProgramState& state);

// ---- opening ----------------------------------------------------------------

enum class FileReadStatus { Ok, OpenFailed, TooLong };

struct FileReadResult {
    FileReadStatus status = FileReadStatus::Ok;
    std::size_t bytes = 0;  // bytes placed into prog_array
    std::string text;       // box text when not Ok (caption kFileCaption)
    std::string caption;
    std::string detail;     // the system's reason, for a log or the command line
    bool ok() const { return status == FileReadStatus::Ok; }
};

// The file's bytes into prog_array from offset 0 and total_len := their count.
// A file longer than 10000 bytes is refused before anything is copied.
FileReadResult loadProgramBytes(ProgramState& state, std::span<const uint8_t> bytes);
FileReadResult readProgramFile(ProgramState& state, const std::filesystem::path& path);

// The scanner recognition of an open: when bytes 0..1 of prog_array equal
// bytes 2..3, the first two bytes are removed (the rest moves two places
// towards the start, the last two bytes of the buffer stay) and total_len
// drops by 2 (not below 0).  Returns whether it was taken for a scanner file.
bool takeScannerFile(ProgramState& state);

struct OpenResult {
    FileReadResult read;          // Ok also after a Cancel (nothing read)
    bool fileRead = false;
    bool scannerFile = false;
    std::string panel0;           // status bar panel 0
    std::string panel1;           // status bar panel 1: the path, or "" after Cancel
    SplitResult split;            // on ChecksumMismatch the application ends
};

// The logic of an open (OpenFileClick) after the dialog: read the chosen file
// if any, recognise a scanner file, split.  The steps after the read run also
// after a Cancel or a failed open, on the array held before; heldValidBytes
// is then the number of bytes of prog_array that hold it.  The caller shows
// read.text (if any) first and then acts on split.
OpenResult openProgramArray(ProgramState& state, const std::optional<std::filesystem::path>& chosen,
                            std::size_t heldValidBytes);

// ---- saving -----------------------------------------------------------------

// The file operations a save uses, replaceable to simulate failures.
struct SaveFileOps {
    virtual ~SaveFileOps() = default;
    virtual long write(int fd, const uint8_t* data, std::size_t n);
    virtual int fsync(int fd);
    virtual int rename(const char* from, const char* to);
};

struct SaveResult {
    bool ok = false;
    std::string text;     // box text on failure (caption kFileCaption)
    std::string caption;
    std::string detail;   // the system's reason
};

// Writes bytes to path without ever leaving a damaged file behind: a
// temporary file in the same directory is written, flushed to disk and then
// renamed over the target.  On failure the old file is untouched and the
// temporary file is removed; failureText is the box text to report.  A
// symbolic link as target is followed, so the file it names is replaced.
SaveResult saveFileSafely(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                          std::string_view failureText, SaveFileOps* ops = nullptr);

// Save as program file (SaveNewArrayAs) and as scanner file (N24), after the
// assembly; the boxes of each command on failure.
SaveResult saveProgramFile(const ProgramState& state, const std::filesystem::path& path,
                           SaveFileOps* ops = nullptr);
SaveResult saveScannerFile(const ProgramState& state, const std::filesystem::path& path,
                           SaveFileOps* ops = nullptr);

} // namespace korlin
