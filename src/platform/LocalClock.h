#pragma once
// Local date and time, behind a seam so that tests fix the moment.
#include <string>

namespace zarvo {

struct LocalDateTime {
  int Year = 2000;  // four digits
  int Month = 1;    // 1..12
  int Day = 1;      // 1..31
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
};

class LocalClock {
 public:
  virtual ~LocalClock() = default;
  virtual LocalDateTime Now() = 0;
};

// The clock used by automatic saving; nullptr restores the system's.
void SetLocalClock(LocalClock* clock);
LocalClock& CurrentLocalClock();

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
long DaysFromCivil(int year, int month, int day);
void CivilFromDays(long days, int& year, int& month, int& day);
// 0 = Sunday .. 6 = Saturday.
int WeekDay(int year, int month, int day);
// The locale's short name of a week day ("Sat" in the C locale).
std::string ShortDayName(int weekDay);

}  // namespace zarvo
