// Builders of method parameter blocks.
#include "host/object_methods.h"

namespace {
WOB_PARM_BLK_STR block(int tag, std::int8_t type) {
  WOB_PARM_BLK_STR b{};
  b.tag = static_cast<std::int16_t>(tag);
  b.type = type;
  return b;
}
WOB_PARM_BLK_STR array_block(int tag, std::int8_t type, void* p, std::int64_t length) {
  WOB_PARM_BLK_STR b = block(tag, type);
  b.d.ary.maxlen = length;
  b.d.ary.len = length;
  b.d.ary.p.vp = p;
  return b;
}
}  // namespace

WOB_PARM_BLK_STR wob_int(int tag, std::int32_t value) {
  WOB_PARM_BLK_STR b = block(tag, kWobInt);
  b.d.i = value;
  return b;
}
WOB_PARM_BLK_STR wob_long(int tag, std::int64_t value) {
  WOB_PARM_BLK_STR b = block(tag, kWobLong);
  b.d.i64 = value;
  return b;
}
WOB_PARM_BLK_STR wob_double(int tag, double value) {
  WOB_PARM_BLK_STR b = block(tag, kWobDouble);
  b.d.d = value;
  return b;
}
WOB_PARM_BLK_STR wob_byte(int tag, char value) {
  WOB_PARM_BLK_STR b = block(tag, kWobByte);
  b.d.c = value;
  return b;
}
WOB_PARM_BLK_STR wob_text(int tag, xobskey text) {
  WOB_PARM_BLK_STR b = block(tag, kWobText);
  b.d.k = text;
  return b;
}
WOB_PARM_BLK_STR wob_texts(int tag, xobskey* texts) {
  WOB_PARM_BLK_STR b = block(tag, kWobTexts);
  b.d.kp = texts;
  return b;
}
WOB_PARM_BLK_STR wob_strings(int tag, VARSTRING* strings) {
  WOB_PARM_BLK_STR b = block(tag, kWobStrings);
  b.d.slistp = strings;
  return b;
}
WOB_PARM_BLK_STR wob_chars(int tag, const char* text, std::int64_t length) {
  return array_block(tag, kWobChars, const_cast<char*>(text), length);
}
WOB_PARM_BLK_STR wob_object(int tag, wobop object) {
  WOB_PARM_BLK_STR b = block(tag, kWobObject);
  b.d.op = object;
  return b;
}
WOB_PARM_BLK_STR wob_cell(int tag, const void* cell) {
  WOB_PARM_BLK_STR b = block(tag, kWobCell);
  b.d.vp = const_cast<void*>(cell);
  return b;
}
WOB_PARM_BLK_STR wob_doubles(int tag, const double* values) {
  WOB_PARM_BLK_STR b = block(tag, kWobDoubles);
  b.d.dp = const_cast<double*>(values);
  return b;
}
WOB_PARM_BLK_STR wob_flag(int tag, int on) {
  WOB_PARM_BLK_STR b = block(tag, kWobFlag);
  b.d.bt.st = on;
  return b;
}
WOB_PARM_BLK_STR wob_path(int tag, xobskey* keys, std::int64_t count) {
  return array_block(tag, kWobPath, keys, count);
}
WOB_PARM_BLK_STR wob_blocks(int tag, WOB_PARM_BLK_STR* blocks, std::int64_t count) {
  return array_block(tag, kWobBlocks, blocks, count);
}
WOB_PARM_BLK_STR wob_key_slot(int tag, xobskey* slot) {
  WOB_PARM_BLK_STR b = block(tag, kWobTexts);
  b.d.kp = slot;
  return b;
}
