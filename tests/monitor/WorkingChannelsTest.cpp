#include "WorkingChannels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace korlin {
namespace {

const WindowColour kStd = WindowColour::Standard();
const WindowColour kYellow = WindowColour::of(colour::Yellow);
const WindowColour kPurple = WindowColour::of(colour::Purple);

struct CheckCall {
    int32_t channel;
    int32_t sensorClass;
    double value;
    int16_t w;
};
std::vector<CheckCall> g_calls;

void recordingCheck(int32_t channel, int32_t cls, double value, int16_t w, SetpointState&, ChannelView&,
                    SetpointEffects&)
{
    g_calls.push_back({channel, cls, value, w});
}

// A check that trips every channel: red text, count appended, alarm.
void trippingCheck(int32_t channel, int32_t, double, int16_t, SetpointState& st, ChannelView& window,
                   SetpointEffects& fx)
{
    ++st.UstTotal;
    ++st.UstCount[size_t(channel)];
    window.textColour = WindowColour::of(colour::Red);
    window.text += "     " + std::to_string(st.UstCount[size_t(channel)]);
    fx.AlarmNow = true;
}

class MonitorWorkingChannels : public ::testing::Test {
protected:
    std::array<uint8_t, rab::kBufSize> buf{};
    std::array<int32_t, rab::kSensorClassSize> cls{};
    SetpointState ust;
    std::string rabText;

    void SetUp() override { g_calls.clear(); }

    void header(int day, int month, int minutes, int hours, int seconds)
    {
        buf[0] = uint8_t(day);
        buf[1] = uint8_t(month);
        buf[2] = uint8_t(minutes);
        buf[3] = uint8_t(hours);
        buf[5] = uint8_t(seconds);
    }
    void record(size_t k, int n, int state, int w)
    {
        uint8_t* r = buf.data() + 10 + 4 * k;
        r[0] = uint8_t(n & 0xFF);
        r[1] = uint8_t(((n >> 8) & 3) | (state << 2));
        r[2] = uint8_t(w & 0xFF);
        r[3] = uint8_t((w >> 8) & 0xFF);
    }
    WorkingPollResult decode(int page = 1, int32_t selKan = 0, char sep = '.', SetpointCheckFn check = recordingCheck)
    {
        WorkingPollInput in{buf, 900, page == 1 ? 1 : 109, page == 1 ? 108 : 216, cls, rabText, selKan, sep};
        WorkingPollResult r = decodeWorkingChannels(in, ust, check);
        rabText = r.RabText;
        return r;
    }
    static ChannelView notInProgram(int ch) { return {std::to_string(ch) + "   Нет в прог.", kYellow, kPurple}; }
    static ChannelView missing(int ch) { return {std::to_string(ch) + "   Нет в прог*", kYellow, kPurple}; }
    static ChannelView plain(std::string text) { return {std::move(text), kStd, kStd}; }
};

TEST_F(MonitorWorkingChannels, AllZeroBlockShowsEveryChannelNotInProgram)
{
    for (int page : {1, 2}) {
        const auto r = decode(page);
        for (int ch = r.KanFirst; ch <= r.KanLast; ++ch)
            EXPECT_EQ(r.window(ch), notInProgram(ch)) << ch;
        EXPECT_EQ(r.caption, "Рабочие каналы,     Время опроса  0ч 0м 0с 0");
        EXPECT_EQ(r.recordsScanned, 108);
        EXPECT_FALSE(r.stoppedAtBlockEnd);
        EXPECT_FALSE(r.bigLabel);
        EXPECT_FALSE(r.beep);
    }
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(MonitorWorkingChannels, Page2PassesOverPage1Records)
{
    for (int ch = 1; ch <= 216; ++ch) {
        cls[size_t(ch)] = 2;
        record(size_t(ch - 1), ch, 0, ch * 10 + 5);
    }
    const auto r2 = decode(2);
    EXPECT_EQ(r2.window(109), plain("109  109.5   C"));
    EXPECT_EQ(r2.window(216), plain("216  216.5   C"));
    EXPECT_EQ(r2.recordsScanned, 216);
    const auto r1 = decode(1);
    EXPECT_EQ(r1.window(1), plain("1  1.5   C"));
    EXPECT_EQ(r1.window(108), plain("108  108.5   C"));
    EXPECT_EQ(r1.recordsScanned, 108);
}

TEST_F(MonitorWorkingChannels, Page2FirstRecordAbove109LeavesTheEarlierOnesMissing)
{
    cls[110] = 1;
    record(0, 3, 0, 1);
    record(1, 1023, 0, 1); // the highest 10-bit number: no channel at all
    record(2, 110, 0, 20);
    const auto r = decode(2);
    EXPECT_EQ(r.window(109), missing(109));
    EXPECT_EQ(r.window(110), plain("110  0.02   mA"));
    EXPECT_EQ(r.window(111), notInProgram(111));
}

TEST_F(MonitorWorkingChannels, ChannelsOneTwoFiveThenZeros)
{
    for (int ch : {1, 2, 5})
        cls[size_t(ch)] = 2;
    record(0, 1, 0, 235);
    record(1, 2, 0, -5);
    record(2, 5, 0, 0);
    const auto r = decode(1);
    EXPECT_EQ(r.window(1), plain("1  23.5   C"));
    EXPECT_EQ(r.window(2), plain("2  -0.5   C"));
    EXPECT_EQ(r.window(3), missing(3));
    EXPECT_EQ(r.window(4), missing(4));
    EXPECT_EQ(r.window(5), plain("5  0   C"));
    for (int ch = 6; ch <= 108; ++ch)
        EXPECT_EQ(r.window(ch), notInProgram(ch)) << ch;
    // One check per matched measurement, with the shown value and the raw word.
    ASSERT_EQ(g_calls.size(), 3u);
    EXPECT_EQ(g_calls[0].channel, 1);
    EXPECT_EQ(g_calls[0].sensorClass, 2);
    EXPECT_EQ(g_calls[0].value, 23.5);
    EXPECT_EQ(g_calls[0].w, 235);
    EXPECT_EQ(g_calls[1].value, -0.5);
    EXPECT_EQ(g_calls[2].channel, 5);
}

TEST_F(MonitorWorkingChannels, RepeatedRecordLeavesTheRestOfThePageMissing)
{
    record(0, 1, 0, 1);
    record(1, 2, 0, 1);
    record(2, 3, 0, 1);
    record(3, 2, 0, 1); // repeated
    record(4, 4, 0, 1);
    const auto r = decode(1);
    EXPECT_EQ(r.window(3), plain("3  Тип не опр."));
    for (int ch = 4; ch <= 108; ++ch)
        EXPECT_EQ(r.window(ch), missing(ch)) << ch;
    EXPECT_EQ(r.recordsScanned, 3);
}

TEST_F(MonitorWorkingChannels, StatusWordsAreNotMeasurements)
{
    struct Case {
        int w;
        const char* text;
    };
    const Case cases[] = {
        {0x8000, "  НМИП"},      {0x8001, "  НДАТ"},        {0x8002, "  ПерегАЦП"},
        {0x8003, "  За ниж.гр."}, {0x8004, "  За верх.гр."}, {0x8005, "  Н\x4BХС"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        cls[i + 1] = 2;
        record(i, int(i + 1), 5, cases[i].w);
    }
    const auto r = decode(1);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const int ch = int(i + 1);
        EXPECT_EQ(r.window(ch).text, std::to_string(ch) + cases[i].text);
        EXPECT_EQ(r.window(ch).background, WindowColour::of(colour::Silver)) << "state code 5";
        EXPECT_EQ(r.window(ch).textColour, kStd);
    }
    EXPECT_TRUE(g_calls.empty()) << "no setpoint check for a status word";
    EXPECT_EQ(r.KanErrCount, 0);
    EXPECT_FALSE(r.kanErrCountShown);
}

TEST_F(MonitorWorkingChannels, LatinKInColdJunctionStatus)
{
    cls[1] = 2;
    record(0, 1, 0, -32763);
    const auto r = decode(1);
    EXPECT_EQ(r.window(1).text, "1  \xD0\x9D" "K" "\xD0\xA5\xD0\xA1");
    EXPECT_NE(r.window(1).text.find('K'), std::string::npos);
}

TEST_F(MonitorWorkingChannels, LowestMeasurementInClass2)
{
    cls[1] = cls[2] = 2;
    record(0, 1, 0, -32762);
    record(1, 2, 0, -32763);
    const auto r = decode(1);
    EXPECT_EQ(r.window(1).text, "1  -3276.2   C");
    EXPECT_EQ(r.window(2).text, "2  НKХС");
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].w, -32762);
}

TEST_F(MonitorWorkingChannels, ChannelFaultsNeedCheckingActiveSetpointAndCheckBox)
{
    struct Case {
        bool enabled;
        int on;
        bool ticked;
        int expected;
    };
    const Case cases[] = {
        {true, 1, true, 2}, {false, 1, true, 0}, {true, 0, true, 0}, {true, 1, false, 0}, {false, 0, false, 0},
    };
    for (const Case& c : cases) {
        ust = SetpointState{};
        ust.KanErrCount = 7;
        ust.UstEnabled = c.enabled;
        ust.errorKanChecked = c.ticked;
        ust.UstOn[1] = ust.UstOn[2] = c.on;
        buf.fill(0);
        record(0, 1, 0, 0x8001);
        record(1, 2, 0, 0x8000);
        record(2, 3, 0, 0x8000); // no active setpoint on channel 3
        const auto r = decode(1);
        EXPECT_EQ(r.KanErrCount, 7 + c.expected);
        EXPECT_EQ(ust.KanErrCount, 7 + c.expected);
        EXPECT_EQ(r.kanErrCountShown, c.expected > 0);
    }
}

TEST_F(MonitorWorkingChannels, MonthWordAndCaption)
{
    header(3, 3, 5, 14, 9);
    auto r = decode(1);
    EXPECT_EQ(r.caption, "Рабочие каналы,     Время опроса  14ч 5м 9с 3") << "no month word yet";
    EXPECT_EQ(r.RabText, "");

    header(3, 7, 5, 14, 9);
    r = decode(1);
    EXPECT_EQ(r.caption, "Рабочие каналы,     Время опроса  14ч 5м 9с 3июль");

    header(31, 3, 59, 23, 0);
    r = decode(1);
    EXPECT_EQ(r.caption, "Рабочие каналы,     Время опроса  23ч 59м 0с 31июль") << "code 3 keeps the last word";

    header(1, 1, 0, 0, 255);
    r = decode(2);
    EXPECT_EQ(r.caption, "Рабочие каналы,     Время опроса  0ч 0м 255с 1январь");
    EXPECT_EQ(r.RabText, "январь");
}

TEST_F(MonitorWorkingChannels, StateCodeBackgrounds)
{
    const WindowColour expected[16] = {
        kStd,
        WindowColour::of({255, 255, 0}),
        WindowColour::of({255, 0, 255}),
        kStd,
        WindowColour::of({0, 255, 0}),
        WindowColour::of({192, 192, 192}),
        WindowColour::of({166, 202, 240}),
        WindowColour::of({255, 251, 240}),
        kStd,
        WindowColour::of({128, 128, 128}),
        WindowColour::of({128, 128, 0}),
        kStd,
        kStd,
        kStd,
        kStd,
        WindowColour::of({0, 255, 255}),
    };
    for (int code = 0; code < 16; ++code) {
        cls[size_t(code + 1)] = 4;
        record(size_t(code), code + 1, code, 100);
        // Bits 6 and 7 of byte 1 are not used: set them on every other record.
        if (code % 2)
            buf[10 + 4 * size_t(code) + 1] |= 0xC0;
    }
    const auto r = decode(1);
    for (int code = 0; code < 16; ++code) {
        EXPECT_EQ(r.window(code + 1).background, expected[code]) << "state code " << code;
        EXPECT_EQ(r.window(code + 1).textColour, kStd);
        EXPECT_EQ(r.window(code + 1).text, std::to_string(code + 1) + "  1   mB");
    }
}

TEST_F(MonitorWorkingChannels, ValueTextByClassAndLocale)
{
    struct Case {
        int32_t cls;
        int w;
        char sep;
        const char* text;
    };
    const Case cases[] = {
        {2, 235, '.', "  23.5   C"},   {2, 235, ',', "  23,5   C"},    {4, -5, '.', "  -0.05   mB"},
        {4, -5, ',', "  -0,05   mB"},  {1, 1000, '.', "  1   mA"},     {1, 1000, ',', "  1   mA"},
        {3, 1234, ',', "  1,234   B"}, {3, -1, '.', "  -0.001   B"},  {1, 19999, ',', "  19,999   mA"},
        {2, -32762, '.', "  -3276.2   C"}, {2, 32767, ',', "  3276,7   C"}, {4, 32767, '.', "  327.67   mB"},
        {1, 0, '.', "  0   mA"},       {4, 100, '.', "  1   mB"},      {3, 10, '.', "  0.01   B"},
        {5, 123, '.', "  Сух.конт."},  {0, 123, '.', "  Тип не опр."}, {6, 1, '.', "  Тип не опр."},
        {-1, 1, ',', "  Тип не опр."}, {1000, 1, '.', "  Тип не опр."},
    };
    for (const Case& c : cases) {
        cls[12] = c.cls;
        record(0, 12, 0, c.w); // channels 1..11 missing, 12 carries the case
        const auto r = decode(1, 0, c.sep);
        EXPECT_EQ(r.window(12).text, "12" + std::string(c.text)) << "class " << c.cls << " w " << c.w;
        EXPECT_EQ(measurementText(c.cls, int16_t(c.w), c.sep), c.text);
    }
}

// The shown value is the short decimal w * scale for every measurement.
TEST(MonitorWorkingChannelValues, EveryMeasurementPrintsItsExactDecimal)
{
    struct Scale {
        int32_t cls;
        int digits;
        const char* unit;
    };
    const Scale scales[] = {{1, 3, "   mA"}, {2, 1, "   C"}, {3, 3, "   B"}, {4, 2, "   mB"}};
    for (const Scale& s : scales) {
        for (int w = -32762; w <= 32767; ++w) {
            // The decimal by integer arithmetic: integral part, fraction without trailing zeros.
            const int a = std::abs(w);
            int div = 1;
            for (int i = 0; i < s.digits; ++i)
                div *= 10;
            std::string frac = std::to_string(a % div);
            frac.insert(0, size_t(s.digits) - frac.size(), '0');
            while (!frac.empty() && frac.back() == '0')
                frac.pop_back();
            std::string expected = "  " + std::string(w < 0 ? "-" : "") + std::to_string(a / div);
            if (!frac.empty())
                expected += "," + frac;
            expected += s.unit;
            const std::string got = measurementText(s.cls, int16_t(w), ',');
            if (got != expected) {
                ADD_FAILURE() << "class " << s.cls << " w " << w << ": " << got << " != " << expected;
                return;
            }
            // The value handed on is the double nearest to that decimal.
            std::string dec = expected.substr(2, expected.size() - 2 - std::strlen(s.unit));
            for (char& ch : dec)
                if (ch == ',')
                    ch = '.';
            if (scaledValue(s.cls, int16_t(w)) != std::strtod(dec.c_str(), nullptr)) {
                ADD_FAILURE() << "class " << s.cls << " w " << w << ": value is not the nearest double to " << dec;
                return;
            }
        }
    }
}

TEST_F(MonitorWorkingChannels, BigLabelFollowsMatchedAndZeroRecordsButNotMissingOnes)
{
    cls[1] = 2;
    record(0, 1, 4, 235);
    record(1, 3, 0, 1); // channel 2 missing
    ust.UstCount[1] = 3;
    ust.UstCount[2] = 4;
    ust.UstCount[50] = 5;

    struct Case {
        int32_t selKan;
        std::optional<BigLabel> label;
    };
    const Case cases[] = {
        {1, BigLabel{"1  23.5   C    3", kStd}},
        {2, std::nullopt},                                  // "   Нет в прог*"
        {3, BigLabel{"3  Тип не опр.    0", kStd}},
        {50, BigLabel{"50   Нет в прог.    5", kYellow}},
        {0, std::nullopt},
        {109, std::nullopt},                                // other page
    };
    for (const Case& c : cases) {
        const auto r = decode(1, c.selKan);
        EXPECT_EQ(r.bigLabel, c.label) << "SelKan " << c.selKan;
    }
}

TEST_F(MonitorWorkingChannels, BigLabelTakesTheCheckedText)
{
    cls[2] = 1;
    record(0, 2, 0, 1500);
    for (bool alarmOn : {true, false}) {
        ust.AlarmOn = alarmOn;
        ust.UstCount[2] = 0;
        ust.UstTotal = 0;
        const auto r = decode(1, 2, '.', trippingCheck);
        EXPECT_EQ(r.window(2).text, "2  1.5   mA     1");
        EXPECT_EQ(r.window(2).textColour, WindowColour::of(colour::Red));
        ASSERT_TRUE(r.bigLabel);
        EXPECT_EQ(r.bigLabel->text, "2  1.5   mA     1    1");
        EXPECT_EQ(r.bigLabel->textColour, WindowColour::of(colour::Red));
        EXPECT_EQ(r.UstTotal, 1);
        EXPECT_TRUE(r.setpoint.AlarmNow);
        EXPECT_EQ(r.beep, alarmOn);
    }
}

TEST_F(MonitorWorkingChannels, NoTripNoBeep)
{
    record(0, 1, 0, 1);
    const auto r = decode(1);
    EXPECT_FALSE(r.setpoint.AlarmNow);
    EXPECT_FALSE(r.beep);
}

TEST_F(MonitorWorkingChannels, BlockOfForeignChannelsStopsAtTheBlockEnd)
{
    for (size_t k = 0; k < rab::kMaxRecords; ++k)
        record(k, 500, 1, 1);
    for (int page : {1, 2}) {
        const auto r = decode(page, page == 1 ? 7 : 0);
        EXPECT_TRUE(r.stoppedAtBlockEnd);
        EXPECT_EQ(r.recordsScanned, 222);
        for (int ch = r.KanFirst; ch <= r.KanLast; ++ch)
            EXPECT_EQ(r.window(ch), notInProgram(ch)) << ch;
        if (page == 1) {
            EXPECT_EQ(r.bigLabel, (BigLabel{"7   Нет в прог.    0", kYellow}));
        }
    }
}

TEST_F(MonitorWorkingChannels, LastRecordsOfTheBlockAreStillDecoded)
{
    // 200 foreign records, then channels 1..22 in the last 22 records.
    for (size_t k = 0; k < 200; ++k)
        record(k, 109, 0, 1);
    for (int ch = 1; ch <= 22; ++ch) {
        cls[size_t(ch)] = 3;
        record(size_t(199 + ch), ch, 2, 5000);
    }
    const auto r = decode(1);
    EXPECT_EQ(r.window(22), (ChannelView{"22  5   B", kStd, WindowColour::of(colour::Fuchsia)}));
    EXPECT_EQ(r.window(23), notInProgram(23));
    EXPECT_EQ(r.window(108), notInProgram(108));
    EXPECT_TRUE(r.stoppedAtBlockEnd);
    EXPECT_EQ(g_calls.size(), 22u);
}

TEST_F(MonitorWorkingChannels, ChannelNumberUsesTenBits)
{
    cls[109] = 2;
    record(0, 109 + 256, 0, 1); // bits 8..9 make it channel 365: foreign
    record(1, 109, 15, 1);      // state code bits do not leak into the number
    const auto r = decode(2);
    EXPECT_EQ(r.window(109), (ChannelView{"109  0.1   C", kStd, WindowColour::of(colour::Aqua)}));
    EXPECT_EQ(r.recordsScanned, 109) << "one foreign record, one match, 107 zero records";
}

TEST_F(MonitorWorkingChannels, RecordWithChannelZeroButOtherBytesIsForeign)
{
    record(0, 0, 3, 0); // not all zero: state code 3
    record(1, 1, 0, 1);
    const auto r = decode(1);
    EXPECT_EQ(r.window(1).text, "1  Тип не опр.");
}

TEST_F(MonitorWorkingChannels, ReceivedCountIsReportedNotTrusted)
{
    struct Case {
        int64_t bytes;
        int32_t fresh;
    };
    const Case cases[] = {{0, 0}, {9, 0}, {10, 0}, {13, 0}, {14, 1}, {22, 3}, {900, 222}, {5000, 222}, {-3, 0}};
    // The block is decoded whole: bytes that did not come are an earlier answer's.
    record(0, 1, 0, 1);
    record(1, 2, 0, 1);
    for (const Case& c : cases) {
        WorkingPollInput in{buf, c.bytes, 1, 108, cls, {}, 0, '.'};
        const auto r = decodeWorkingChannels(in, ust);
        EXPECT_EQ(r.BytesDone, c.bytes);
        EXPECT_EQ(r.freshRecords, c.fresh) << c.bytes;
        EXPECT_EQ(r.window(2).text, "2  Тип не опр.");
    }
}

TEST_F(MonitorWorkingChannels, CountersAreCopiedOut)
{
    ust.UstTotal = 12;
    ust.KanErrCount = 4;
    const auto r = decode(1);
    EXPECT_EQ(r.UstTotal, 12);
    EXPECT_EQ(r.KanErrCount, 4);
}

TEST_F(MonitorWorkingChannels, DefaultCheckLeavesTheWindowWhileCheckingIsOff)
{
    cls[1] = 2;
    record(0, 1, 0, 250);
    ust.UstOn[1] = 1; // active, but checking is off
    WorkingPollInput in{buf, 900, 1, 108, cls, {}, 0, '.'};
    const auto r = decodeWorkingChannels(in, ust);
    EXPECT_EQ(r.window(1), plain("1  25   C"));
    EXPECT_EQ(r.UstTotal, 0);
    EXPECT_FALSE(r.beep);
}

TEST_F(MonitorWorkingChannels, OnlyTheTwoPagesAreAccepted)
{
    for (auto [first, last] : {std::pair{0, 107}, {1, 216}, {2, 109}, {109, 217}, {217, 324}}) {
        WorkingPollInput in{buf, 900, first, last, cls, {}, 0, '.'};
        EXPECT_THROW(decodeWorkingChannels(in, ust), std::invalid_argument) << first << ".." << last;
    }
}

} // namespace
} // namespace korlin
