#include "host/globals.h"

HostWord* v_global_gcb_anchor = nullptr;
void* v_global_pidb_anchor = nullptr;
QXHndlp Exported_QXHandle = nullptr;
