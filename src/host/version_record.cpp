#include "host/version_record.h"

namespace {

constexpr int digit(char c) { return c == ' ' ? 0 : c - '0'; }

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
constexpr std::int64_t days_from_civil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// The compiler's "Mmm dd yyyy" and "hh:mm:ss" as seconds since the epoch.
constexpr std::int64_t build_epoch(const char* date, const char* time) {
  constexpr const char* kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
  int month = 1;
  for (int m = 0; m < 12; ++m)
    if (kMonths[3 * m] == date[0] && kMonths[3 * m + 1] == date[1] &&
        kMonths[3 * m + 2] == date[2])
      month = m + 1;
  const int day = digit(date[4]) * 10 + digit(date[5]);
  const int year = ((digit(date[7]) * 10 + digit(date[8])) * 10 + digit(date[9])) * 10 +
                   digit(date[10]);
  const int hours = digit(time[0]) * 10 + digit(time[1]);
  const int minutes = digit(time[3]) * 10 + digit(time[4]);
  const int seconds = digit(time[6]) * 10 + digit(time[7]);
  return days_from_civil(year, month, day) * 86400 + hours * 3600 + minutes * 60 + seconds;
}

const QXSREVISION_S kVersionRecord = {
    __DATE__,                            // portdate
    "ruva",                              // track_lookthrough
    "",                                  // track_additional
    build_epoch(__DATE__, __TIME__),     // build_epoch
    "ruva nonlinear least-squares regression",
    "cmake",                             // script_name
    "",                                  // script_dvd
    "",                                  // script_loc
    "0",                                 // maintenance
    RUVA_VERSION,                        // version
    "Linux x86-64",                      // os_version
    "",                                  // hotfix
    "",                                  // hotfix_Install
    "Nonlinear least-squares regression procedure",
    "",                                  // description_Install
    "C++20",                             // environment
    __DATE__ " " __TIME__,               // build_time
    "ruva " RUVA_VERSION,                // build_id
    {},
};

}  // namespace

void qxvercn1(QXS_Version_Info* verinfo) {
  if (verinfo) *verinfo = kVersionRecord;
}
