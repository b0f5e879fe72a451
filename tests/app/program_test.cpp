// The program commands of the main window: read, write with the verdict,
// file open and save, against simulated converters.
#include "AppFixture.h"

#include "ProgramFile.h"
#include "ProgramImage.h"

#include <QLabel>

namespace korlin::testing {

class ProgramCommands : public AppFixture {
protected:
    sim::SimLine* conv = nullptr;
    std::unique_ptr<TMainForm1> form;

    void startWith(sim::ConverterConfig cfg)
    {
        writeIni("[Параметры]\nAdresMIP=5\nканалы=-1\n");
        writeCheckFile();
        conv = &converterOn(1, std::move(cfg));
        form = std::make_unique<TMainForm1>(services);
        form->FormCreate();
        ASSERT_FALSE(form->terminated());
        dialogs.events.clear();
    }
    ProgramState& program() { return form->buffers()->program; }
};

TEST_F(ProgramCommands, TheStartUpSplitsTheConvertersProgramAndMapsItsSensors)
{
    startWith(sim::ConverterConfig::native(5));
    const auto& p = program();
    EXPECT_EQ(p.subarray_len[1], conv->model().program()[10] | (conv->model().program()[11] << 8));
    EXPECT_GT(p.subarray_len[1], 0);
    EXPECT_EQ(form->buffers()->sensors.sensor_type[1], 17); // the first channel of the built-in program
    EXPECT_EQ(form->buffers()->sensors.sensor_class[1], 1);
}

TEST_F(ProgramCommands, AWriteSendsTheAssembledArrayAndShowsTheVerdict)
{
    startWith(sim::ConverterConfig::native(5));
    const size_t before = conv->line().trace().size();
    form->action("N23")->trigger();
    // The converter got exactly the array that was assembled, and accepted it.
    ASSERT_TRUE(conv->model().lastLoad().has_value());
    const auto& sent = program().new_array;
    EXPECT_EQ(conv->model().program(), std::vector<uint8_t>(sent.begin(), sent.begin() + program().total_len));
    EXPECT_EQ(form->LabelSostojanie->text(), QStringLiteral("Мип находится в режиме измерений."));
    ASSERT_FALSE(dialogs.events.empty());
    EXPECT_EQ(dialogs.events.back().kind, DialogEvent::SoundPlayed);
    EXPECT_EQ(dialogs.events.back().sound, Sound::Information);
    // [A, 0x10], 150 ms, the array in one write, 5000 ms, then the state query.
    std::vector<const LineEvent*> writes;
    for (size_t i = before; i < conv->line().trace().size(); ++i)
        if (conv->line().trace()[i].kind == LineEvent::Write)
            writes.push_back(&conv->line().trace()[i]);
    ASSERT_GE(writes.size(), 3u);
    EXPECT_EQ(writes[0]->bytes, (std::vector<uint8_t>{0xC5, 0x10}));
    EXPECT_EQ(writes[1]->bytes.size(), program().total_len);
    EXPECT_EQ(writes[2]->bytes, (std::vector<uint8_t>{0xC5, 0x01}));
    EXPECT_GE(writes[1]->atUs - writes[0]->endUs, 150'000);
    EXPECT_GE(writes[2]->atUs - writes[1]->atUs, 5'000'000);
    const std::string log = logText();
    EXPECT_NE(log.find("\r\n\r\nНачало функции заузки программного массива в Ш9327."), std::string::npos);
    EXPECT_NE(log.find("\r\n    Перед созданием массива канал-тип датчика 1-864."), std::string::npos);
}

TEST_F(ProgramCommands, ARefusedLoadShowsOnTheStateLabel)
{
    auto cfg = sim::ConverterConfig::native(5);
    cfg.ramZone = 100; // the built-in program is longer
    startWith(cfg);
    form->N23Click();
    EXPECT_EQ(form->LabelSostojanie->text(), QStringLiteral("Ожидание повтора ввода прграммы, длинна массива больше ОЗУ МИП."));
    EXPECT_EQ(form->LabelSostojanie->palette().color(QPalette::Window), QColor(255, 255, 0));
}

TEST_F(ProgramCommands, ReadFromTheMenuSetsTheStatusBar)
{
    startWith(sim::ConverterConfig::native(5));
    form->ReadProg9327Click();
    EXPECT_EQ(form->statusPanel(0)->text(), QStringLiteral("Программа из Ш9327"));
    EXPECT_EQ(form->statusPanel(1)->text(), QStringLiteral(" "));
    EXPECT_FALSE(form->terminated());
}

TEST_F(ProgramCommands, ProgramAndScannerFilesRoundTrip)
{
    startWith(sim::ConverterConfig::native(5));
    const auto held = program().subarray;
    const fs::path plain = dir.path / "a.bin", scanner = dir.path / "b.bin";

    dialogs.fileAnswers.push_back(plain.string());
    form->action("SaveNewArrayAs")->trigger();
    dialogs.fileAnswers.push_back(scanner.string());
    form->AFileSaveAsTARVIKExecute();
    ASSERT_TRUE(fs::exists(plain));
    EXPECT_EQ(fs::file_size(scanner), fs::file_size(plain) + 4);
    ASSERT_EQ(dialogs.fileSpecs.size(), 2u);
    EXPECT_EQ(dialogs.fileSpecs[0].title, "Запись файла");
    EXPECT_EQ(dialogs.fileSpecs[0].fileName, "9327progarray.bin");

    for (auto [path, panel] : {std::pair{plain, "Работа с файлом "}, std::pair{scanner, "Работа с файлом Тарвик"}}) {
        program().subarray = {};
        dialogs.fileAnswers.push_back(path.string());
        form->OpenFileClick();
        EXPECT_EQ(form->statusPanel(0)->text().toStdString(), panel);
        EXPECT_EQ(form->statusPanel(1)->text().toStdString(), path.string());
        for (int k : {0, 1, 2, 11, 12, 13, 14})
            EXPECT_EQ(program().subarray[size_t(k)], held[size_t(k)]) << path << " slot " << k;
    }
}

TEST_F(ProgramCommands, ACancelledOpenStillSplitsTheArrayHeld)
{
    startWith(sim::ConverterConfig::native(5));
    const auto held = program().subarray;
    form->OpenFileClick(); // no answer queued: Cancel
    EXPECT_EQ(form->statusPanel(1)->text(), QString());
    EXPECT_EQ(form->statusPanel(0)->text(), QStringLiteral("Работа с файлом "));
    EXPECT_EQ(program().subarray[1], held[1]);
    EXPECT_FALSE(form->terminated());
    EXPECT_TRUE(form->action("VievAllSubArray")->isEnabled());
}

TEST_F(ProgramCommands, AFileWithAWrongChecksumEndsTheProgram)
{
    startWith(sim::ConverterConfig::native(5));
    auto bytes = sim::defaultProgram();
    bytes[2] ^= 1;
    const fs::path bad = dir.path / "bad.bin";
    std::ofstream(bad, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    dialogs.fileAnswers.push_back(bad.string());
    form->OpenFileClick();
    EXPECT_TRUE(form->terminated());
    ASSERT_FALSE(dialogs.texts().empty());
    EXPECT_EQ(dialogs.texts().back(), "Ошибка контрольной суммы принятого программного массива! Закрываю программу!");
}

TEST_F(ProgramCommands, ASaveThatCannotBeWrittenSaysSo)
{
    startWith(sim::ConverterConfig::native(5));
    dialogs.fileAnswers.push_back((dir.path / "no-such-dir" / "x.bin").string());
    form->SaveNewArrayAsClick();
    ASSERT_EQ(dialogs.texts().size(), 1u);
    EXPECT_EQ(dialogs.texts()[0], "Не могу открыть файл для записи!!!");
    EXPECT_EQ(dialogs.events.back().caption, "Открытие файла программы");
}

} // namespace korlin::testing
