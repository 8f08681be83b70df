// The methods of the output service's classes (see output_object_classes.h). Each
// takes (object, service, selector, block count, blocks) and returns 0 or a
// negative status; a refused block gets the status in its `rc`.
#pragma once

#include <cstdint>

#include "host/object_methods.h"

namespace platform::methods {

#define RUVA_METHOD(name) \
  std::int32_t name(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np, WOB_PARM_BLK_STR* pb)

// Root and manager.
RUVA_METHOD(create_manager);
RUVA_METHOD(create_object);
RUVA_METHOD(get_attributes);
RUVA_METHOD(new_section);
RUVA_METHOD(set_titles);
RUVA_METHOD(show_message);
RUVA_METHOD(open_section);
RUVA_METHOD(close_section);
RUVA_METHOD(open_group);
RUVA_METHOD(end_group);
RUVA_METHOD(open_view);
RUVA_METHOD(release_view);
RUVA_METHOD(emit_matrix);
RUVA_METHOD(make_graph);
// Tables.
RUVA_METHOD(define_column);
RUVA_METHOD(column_format);
RUVA_METHOD(end_definition);
RUVA_METHOD(add_row);
RUVA_METHOD(close_data);
RUVA_METHOD(set_attribute);
// Factoids and symbol values.
RUVA_METHOD(set_fact);
RUVA_METHOD(close_factoid);
RUVA_METHOD(set_value);
RUVA_METHOD(get_value);

#undef RUVA_METHOD

}  // namespace platform::methods
