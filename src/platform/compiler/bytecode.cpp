#include "platform/compiler/bytecode.h"

namespace platform::compiler {
namespace {

#define RUVA_CMP_NAME(name, text) #name,
constexpr const char* kNames[] = {RUVA_CMP_OPCODES(RUVA_CMP_NAME)};
#undef RUVA_CMP_NAME
#define RUVA_CMP_FORM(name, text) text,
constexpr const char* kForms[] = {RUVA_CMP_OPCODES(RUVA_CMP_FORM)};
#undef RUVA_CMP_FORM

}  // namespace

const char* op_name(Op op) { return kNames[static_cast<int>(op)]; }
const char* op_form(Op op) { return kForms[static_cast<int>(op)]; }

}  // namespace platform::compiler
