#include "platform/graphs/palette.h"

namespace platform::graphs {

SeriesStyle series_style(int n) {
  static const SeriesStyle styles[] = {
      {colour::kBlue, Marker::Circle, "", 1.5, false},
      {colour::kVermillion, Marker::Triangle, kDashed, 1.5, false},
      {colour::kGreen, Marker::Square, kDotted, 1.5, false},
      {colour::kPurple, Marker::Diamond, kDashDot, 1.5, false},
      {colour::kOrange, Marker::Cross, "", 1.5, false},
  };
  const int count = static_cast<int>(sizeof styles / sizeof styles[0]);
  return styles[((n % count) + count) % count];
}

}  // namespace platform::graphs
