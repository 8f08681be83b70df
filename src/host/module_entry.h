// The module's entry, its image record and its procedure record: what the
// host receives when it loads the module.
#pragma once

#include <cstdint>

#include "host/globals.h"

// One procedure of the module, as the host sees it.
struct WIPGMCON {
  std::int64_t stacksize;  // stack request handed to the host
  std::int64_t isa;        // input save-area size
  std::int64_t osa;        // output save-area size
  char name[8];            // procedure name, blank-padded, no NUL
  std::int64_t flags;
  void (*ep)();            // the procedure main, called once per step
  std::int64_t imgtype;
  std::int64_t support;
  std::int64_t cntlc;
};

// The image record returned by mcn_main.
struct VIMODCON {
  char tag[24];                // "KOV_Image_Information=", NUL-padded
  std::uint64_t modconmagic;   // 0xb0bdebed
  std::uint64_t compat_flags;  // 8
  char portver[6];
  char portverl[20];
  char builddate[24];
  WIPGMCON* const* pgmcons;    // null-terminated list of procedures
  const char* copyright;
  char releasenum[4];          // "001"
};

inline constexpr std::uint64_t kModconMagic = 0xb0bdebed;

extern VIMODCON vi_mcn;
extern WIPGMCON pcn_KOVRUVA;
extern WIPGMCON* const mcn_pcns[2];

VIMODCON* mcn_main(HostWord* gcbanchor, void* pidb);
void himodcn();

// The procedure main of the nonlinear regression procedure.
void kovruva();
