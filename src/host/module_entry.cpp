#include "host/module_entry.h"

WIPGMCON pcn_KOVRUVA = {
    -65536,                                    // stacksize: negative, as the host expects
    1024,                                      // isa
    1024,                                      // osa
    {'k', 'o', 'v', 'r', 'u', 'v', 'a', ' '},  // name
    0,                                         // flags
    &kovruva,                                  // ep
    3,                                         // imgtype
    9683,                                      // support
    15,                                        // cntlc
};

WIPGMCON* const mcn_pcns[2] = {&pcn_KOVRUVA, nullptr};

VIMODCON vi_mcn = {
    "KOV_Image_Information=",
    kModconMagic,
    8,
    "R1.0",
    "ruva " RUVA_VERSION,
    __DATE__ " " __TIME__,
    mcn_pcns,
    "ruva nonlinear least-squares regression",
    "001",
};

void himodcn() {}

VIMODCON* mcn_main(HostWord* gcbanchor, void* pidb) {
  v_global_gcb_anchor = gcbanchor;
  v_global_pidb_anchor = pidb;
  himodcn();
  Exported_QXHandle = reinterpret_cast<QXHndlp>(gcbanchor[gcb::kQXHandle]);
  return &vi_mcn;
}
