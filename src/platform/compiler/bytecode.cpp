#include "platform/compiler/bytecode.h"

namespace platform::compiler {
namespace {

#define RUVA_CMP_NAME(name, text) #name,
constexpr const char* kNames[] = {RUVA_CMP_OPCODES(RUVA_CMP_NAME)};
#undef RUVA_CMP_NAME

}  // namespace

const char* op_name(Op op) { return kNames[static_cast<int>(op)]; }

}  // namespace platform::compiler
