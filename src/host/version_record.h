// The module's version record, copied for the kernel library by qxvercn1.
#pragma once

#include <cstdint>

struct QXSREVISION_S {
  const char* portdate;             // date of the port the module was built for
  const char* track_lookthrough;    // tracking identifiers of the build
  const char* track_additional;
  std::int64_t build_epoch;         // seconds since the epoch at build time
  const char* product_name;
  const char* script_name;          // the build script, its medium and place
  const char* script_dvd;
  const char* script_loc;
  const char* maintenance;          // maintenance level
  const char* version;
  const char* os_version;           // the system the build ran on
  const char* hotfix;
  const char* hotfix_Install;
  const char* description;
  const char* description_Install;
  const char* environment;
  const char* build_time;           // the build's date and time as text
  const char* build_id;             // further identification
  std::uint64_t expansion[8];       // reserved, zero
};
typedef QXSREVISION_S QXS_Version_Info;

// Copies the module's version record into *verinfo (nothing for null).
void qxvercn1(QXS_Version_Info* verinfo);
