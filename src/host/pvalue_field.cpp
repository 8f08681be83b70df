// zpvalue: a p-value in a fixed-width field, with the less-than form for
// values below what the decimals can show.
#include <cmath>
#include <cstring>

#include "host/globals.h"
#include "host/listing_titles.h"
#include "host/missing.h"
#include "host/services.h"

namespace {
constexpr int kWidestField = 32;
constexpr int kDefaultWidth = 6;
}  // namespace

int zpvalue(double x, int w, int d, char* buffer) {
  if (w < 1) w = kDefaultWidth;
  if (w <= 2) {
    std::memcpy(buffer, "**", static_cast<std::size_t>(w));
    return 1;
  }
  if (w > kWidestField) {
    std::memset(buffer, ' ', static_cast<std::size_t>(w));
    w = kWidestField;
  }
  if (d < 1 || d > w - 2) d = w - 2;
  WZ_FMTPAR request{};
  request.w = w;
  request.d = d;
  request.from = &x;
  request.to = buffer;
  request.tow = w;
  if (wzmis(x)) return zfmmiss(&request);
  if (x <= 0) x = 0;
  if (x < 1.0 / std::pow(10.0, d)) {
    xpfs(w, d, buffer);
    buffer[w - d - 2] = '<';
    return 0;
  }
  request.fromw = 8;
  request.reb = reinterpret_cast<void*>(task_record()[task::kFormatEnv]);
  return zfmt(&request);
}
