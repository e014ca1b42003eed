#include "platform/LocalClock.h"

#include <ctime>

namespace zarvo {
namespace {

class SystemClock final : public LocalClock {
 public:
  LocalDateTime Now() override {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
  }
};

SystemClock systemClock;
LocalClock* currentClock = &systemClock;

}  // namespace

void SetLocalClock(LocalClock* clock) {
  currentClock = clock ? clock : &systemClock;
}
LocalClock& CurrentLocalClock() {
  return *currentClock;
}

long DaysFromCivil(int year, int month, int day) {
  year -= month <= 2;
  const long era = (year >= 0 ? year : year - 399) / 400;
  const long yoe = year - era * 400;
  const long doy = (153L * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(long days, int& year, int& month, int& day) {
  days += 719468;
  const long era = (days >= 0 ? days : days - 146096) / 146097;
  const long doe = days - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

int WeekDay(int year, int month, int day) {
  const long days = DaysFromCivil(year, month, day);
  return static_cast<int>(days >= -4 ? (days + 4) % 7 : (days + 5) % 7 + 6);
}

std::string ShortDayName(int weekDay) {
  std::tm day{};
  day.tm_wday = ((weekDay % 7) + 7) % 7;
  char name[64];
  const std::size_t n = std::strftime(name, sizeof name, "%a", &day);
  return std::string(name, n);
}

}  // namespace zarvo
