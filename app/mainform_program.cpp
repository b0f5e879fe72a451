// TMainForm1: the measurement program commands (read, write, split,
// assembly, sensor map, files).  The logic is in program/ and link/.
#include "LogText.h"
#include "MainForm.h"
#include "Unitformwait.h"

#include "../program/LogText.h"
#include "ProgramFile.h"

#include <QLabel>
#include <QPlainTextEdit>

namespace korlin {

namespace {
std::string s(std::string_view v) { return std::string(v); }
} // namespace

void TMainForm1::Read_prog_array_MIPClick()
{
    Link l = link();
    const ReadOutcome r = programArrayRead(l, bus::addressByte(settings_.MagAdr), buffers_->program.prog_array);
    // The bytes that came hold the array now; with none the array held before stays whole.
    if (r.received > 0)
        progValidBytes_ = r.received;
}

// The split with its verification; false when the application is to end.
bool TMainForm1::splitProgram()
{
    const SplitResult r = prog_array_destrukt(buffers_->program, progValidBytes_);
    if (r.ok())
        return true;
    showBox(r.text, r.caption);
    if (r.status == SplitStatus::ChecksumMismatch) {
        endApplication();
        return false;
    }
    return true; // refused before anything was copied: the sub-arrays are those held before
}

void TMainForm1::prog_array_destruktClick() { splitProgram(); }

void TMainForm1::ButtonSearschCRCClick()
{
    const VerifyResult v = ButtonSearschCRC(buffers_->program);
    if (!v.ok) {
        showBox(s(kChecksumErrorText), s(kChecksumErrorCaption));
        endApplication();
    }
}

void TMainForm1::New_Write_ArrayClick()
{
    const AssemblyResult a = New_Write_Array(buffers_->program, services_.log);
    if (!a.ok())
        showBox(a.text, a.caption);
}

void TMainForm1::kan_tip_datchik1_864Click()
{
    const SensorMapResult r = kan_tip_datchik1_864(buffers_->program, buffers_->sensors, services_.dialogs, services_.log);
    if (r.endApplication)
        endApplication();
}

void TMainForm1::ReadProg9327Click()
{
    Button_MIP_SostojanieClick();
    Read_prog_array_MIPClick();
    if (!splitProgram())
        return;
    panel0_->setText(QStringLiteral("Программа из Ш9327"));
    panel1_->setText(QStringLiteral(" "));
}

void TMainForm1::N23Click()
{
    services_.log.LogMessage(logtext::WriteStart);
    auto wait = std::make_unique<TFormWait>(this);
    wait->setText(QStringLiteral("Ждите загрузки програмного массива в пеобразователь!"));
    wait->repaintNow();

    ProgramState& prog = buffers_->program;
    const AssemblyResult a = New_Write_Array(prog, services_.log);
    if (!a.ok()) {
        // Nothing is sent: an array that does not fit would reach the converter cut short.
        showBox(a.text, a.caption);
        return;
    }
    Link l = link();
    programArrayWrite(l, bus::addressByte(settings_.MagAdr), prog.new_array, prog.total_len);
    Memo1->document()->setModified(false);
    Button_MIP_SostojanieClick();
    services_.log.LogMessage(logtext::BeforeSensorMap);
    // The map is built from the array just sent (its offsets are those of new_array).
    const SensorMapResult r = kan_tip_datchik1_864(prog.new_array, prog.subarray_off, prog.subarray_len,
                                                   buffers_->sensors, services_.dialogs, services_.log);
    if (r.endApplication) {
        endApplication();
        return;
    }
    services_.dialogs.sound(Sound::Information);
}

void TMainForm1::OpenFileClick()
{
    Memo1->document()->setModified(false);
    const auto chosen = services_.dialogs.openFile(kOpenDialogSpec);
    std::optional<std::filesystem::path> path;
    if (chosen)
        path = *chosen;
    const OpenResult r = openProgramArray(buffers_->program, path, progValidBytes_);
    if (!r.read.text.empty())
        showBox(r.read.text, r.read.caption);
    if (r.fileRead)
        progValidBytes_ = buffers_->program.total_len;
    panel1_->setText(QString::fromStdString(r.panel1));
    panel0_->setText(QString::fromStdString(r.panel0));
    if (!r.split.ok()) {
        showBox(r.split.text, r.split.caption);
        if (r.split.status == SplitStatus::ChecksumMismatch) {
            endApplication();
            return;
        }
    }
    for (const char* n : {"Group_prog", "N13", "VievAllSubArray", "N12", "N21"})
        action(n)->setEnabled(true);
}

void TMainForm1::SaveNewArrayAsClick()
{
    FileDialogSpec spec = kSaveDialogSpec;
    spec.fileName = s(kProgramFileName);
    const auto chosen = services_.dialogs.saveFile(spec);
    if (!chosen)
        return;
    const AssemblyResult a = New_Write_Array(buffers_->program, services_.log);
    if (!a.ok()) {
        showBox(a.text, a.caption);
        return;
    }
    const SaveResult r = scannerVariant_ ? saveScannerFile(buffers_->program, *chosen)
                                         : saveProgramFile(buffers_->program, *chosen);
    if (!r.ok)
        showBox(r.text, r.caption);
}

void TMainForm1::AFileSaveAsTARVIKExecute()
{
    scannerVariant_ = true;
    N24Click();
    scannerVariant_ = false;
}

// The scanner-file save: the same dialog and assembly, the scanner layout.
void TMainForm1::N24Click()
{
    const bool was = scannerVariant_;
    scannerVariant_ = true;
    SaveNewArrayAsClick();
    scannerVariant_ = was;
}

} // namespace korlin
