// Date, time and datetime literals: '01JAN2000'D, '9:30:00'T and
// '01JAN2000:9:30:00'DT, converted to days or seconds counted from
// 1 January 1960.
#pragma once

#include <optional>
#include <string_view>

namespace platform::language {

// Days from 1 January 1960 to the date ddMONyy or ddMONyyyy; two-digit years
// 26..99 are 19xx and 00..25 are 20xx.
std::optional<double> parse_date_literal(std::string_view text);
// Seconds since midnight of hh:mm or hh:mm:ss[.fff].
std::optional<double> parse_time_literal(std::string_view text);
// Seconds from 1 January 1960 00:00:00 to date:time (a blank may stand for
// the colon between the date and the time).
std::optional<double> parse_datetime_literal(std::string_view text);

// Days between 1 January 1960 and the given proleptic Gregorian date.
long days_since_1960(long year, int month, int day);

}  // namespace platform::language
