#include "Clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace korlin {

int64_t SystemClock::nowUs() const
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void SystemClock::sleepMs(int64_t ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

DateTime SystemClock::localTime() const
{
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

DateTime VirtualClock::localTime() const
{
    return addSeconds(start_, (nowUs_ - startUs_) / 1000000);
}

DateTime addSeconds(const DateTime& t, int64_t seconds)
{
    using namespace std::chrono;
    const sys_days day = year_month_day{year{t.year}, month{unsigned(t.month)}, std::chrono::day{unsigned(t.day)}};
    const auto total = sys_seconds{day} + hours{t.hour} + minutes{t.minute} + std::chrono::seconds{t.second}
                       + std::chrono::seconds{seconds};
    const sys_days newDay = floor<days>(total);
    const year_month_day ymd{newDay};
    const hh_mm_ss hms{total - newDay};
    return {int(ymd.year()), int(unsigned(ymd.month())), int(unsigned(ymd.day())),
            int(hms.hours().count()), int(hms.minutes().count()), int(hms.seconds().count())};
}

} // namespace korlin
