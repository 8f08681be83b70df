#include "platform/output/output_object_classes.h"

#include "platform/output/output_methods.h"

namespace platform {

OutputClasses::OutputClasses(void* method_data) : method_data_(method_data) {
  using namespace methods;
  const ClassId symbols = ClassId::Symbols;
  define(ClassId::Root, nullptr, {{147, &create_manager}});
  define(ClassId::Symbols, nullptr, {{164, &set_value}, {175, &get_value}});
  define(ClassId::Manager, &symbols,
         {{2, &get_attributes}, {147, &create_object}, {300, &open_group}, {358, &show_message},
          {388, &emit_matrix}, {422, &open_view}, {428, &release_view}, {435, &new_section},
          {439, &set_titles}, {446, &open_section}, {447, &close_section}, {2826, &make_graph}});
  define(ClassId::Data, &symbols,
         {{298, &end_definition}, {299, &close_data}, {316, &set_attribute}, {329, &add_row},
          {338, &define_column}, {346, &column_format}});
  define(ClassId::Factoid, &symbols, {{164, &set_fact}, {299, &close_factoid}, {316, &set_attribute}});
  define(ClassId::View, &symbols, {});
  define(ClassId::Group, &symbols, {});
  define(ClassId::Graph, &symbols, {});
  define(ClassId::Matrix, &symbols, {});
  define(ClassId::Text, nullptr, {});
  // A group is ended through the fourth fast path of its class.
  WOB_MA_TBL_STR* group = table(ClassId::Group);
  group->zoom[3].ent = entry(4, &end_group);
  group->zoom[3].mcoh = method_data_;
}

WOB_ENT_STR* OutputClasses::entry(int id, WobMethod fn) {
  WOB_ENT_STR& e = entries_.emplace_back();
  e.func = fn;
  e.id = id;
  return &e;
}

void OutputClasses::define(ClassId id, const ClassId* super,
                           std::initializer_list<std::pair<int, WobMethod>> methods) {
  Class& c = classes_[static_cast<int>(id)];
  c.buckets.assign(kMask + 1, nullptr);
  for (const auto& [selector, fn] : methods) {
    WOB_EXPRESS_STR& link = chain_.emplace_back();
    link.id = selector;
    link.mcoh = method_data_;
    link.ent = entry(selector, fn);
    WOB_EXPRESS_STR*& head = c.buckets[static_cast<std::uint32_t>(selector) & kMask];
    link.next = head;
    head = &link;
  }
  c.table.cls = &c;
  c.table.super = super ? table(*super) : nullptr;
  c.table.mth_tbl = c.buckets.data();
  c.table.mth_mask = kMask;
}

}  // namespace platform
