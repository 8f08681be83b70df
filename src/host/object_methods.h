// Host objects and their method dispatcher. The host exposes its output
// objects (output managers, tables, facts, groups, graphs) as objects with
// numbered methods; the module calls every method through `wobmth`, which
// looks the selector up in the object's class table and its super tables.
// The structures are the host's layout; the module reads the class tables
// and fills parameter blocks.
#pragma once

#include <cstdint>

#include "host/service_types.h"

struct WOB_PARM_BLK_STR;
struct WOB_MA_TBL_STR;

// A method: (object, method data, entry id, block count, blocks) -> status.
using WobMethod = std::int32_t (*)(WOB_OBJ_STR* obj, void* mcoh, std::int32_t id, std::int32_t np,
                                   WOB_PARM_BLK_STR* pb);

struct WOB_ENT_STR {
  WobMethod func;     // the method
  union {
    void* interpret;
    std::int16_t app_ndx;
  } u;                // host use
  std::int32_t id;    // handed on to func
  std::int32_t offset;
  std::int32_t opts;
};

struct WOB_EXPRESS_STR {
  WOB_EXPRESS_STR* next;  // next entry of the bucket
  void* mcoh;             // handed to the method as its second argument
  WOB_ENT_STR* ent;
  std::int32_t id;        // the selector this entry answers
};

struct WOB_ZOOM_STR {
  WOB_ENT_STR* ent;
  void* mcoh;
};

// The method and attribute table of one class.
struct WOB_MA_TBL_STR {
  void* cls;                     // the class object
  WOB_MA_TBL_STR* super;         // the super class's table, null at the root
  WOB_EXPRESS_STR** mth_tbl;     // mth_mask + 1 buckets
  WOB_EXPRESS_STR** att_tbl;
  WOB_ZOOM_STR zoom[6];          // fast paths; zoom[3] ends a group
  std::uint32_t mth_mask;        // bucket of selector s: s & mth_mask
  std::uint32_t att_mask;
  std::uint32_t att_off;
};

struct WOB_OBJ_STR {
  WOB_MA_TBL_STR* clsh;  // the class table
  void* dep_on;
  void* pool;
  void* dep_lst;
};

struct WOB_ARRAY_PARM_STR {
  std::int64_t maxlen;
  std::int64_t len;
  union {
    void* vp;
    char* cp;
    const char* ccp;
    double* dp;
    xobskey* kp;
    wobop* opp;
    void** pp;
    WOB_PARM_BLK_STR* pbp;
  } p;
};

struct WOB_BITSET_PARM {
  std::int64_t bit;
  std::int32_t st;  // the on/off state of a type-13 flag
};

struct WOB_DEP_NODE {
  WOB_OBJ_STR* obj;
  WOB_DEP_NODE* next;
};

// One typed parameter of a method call (32 bytes).
struct WOB_PARM_BLK_STR {
  std::int16_t tag;    // what the parameter means to the method
  std::int8_t type;    // the value kind (kWob... below)
  std::uint8_t flags;
  std::int32_t rc;     // the method's status for this parameter
  union {
    char c;
    unsigned char uc;
    QXChar wc;
    short s;
    unsigned short us;
    std::int32_t i;
    std::uint32_t ui;
    long l;
    xobskey k;
    unsigned long ul;
    float f;
    double d;
    std::int64_t i64;
    std::uint64_t ui64;
    char* cp;
    unsigned char* ucp;
    QXChar* wcp;
    tchar* tcp;
    short* sp;
    unsigned short* usp;
    std::int32_t* ip;
    std::uint32_t* uip;
    long* lp;
    unsigned long* ulp;
    xobskey* kp;
    float* flp;
    double* dp;
    wobop op;
    std::int64_t* i64p;
    std::uint64_t* ui64p;
    VARSTRING* slistp;
    void (*fp)();
    void* vp;
    WOB_ARRAY_PARM_STR ary;
    WOB_BITSET_PARM bt;
    WOB_DEP_NODE dns;
  } d;
};
static_assert(sizeof(WOB_PARM_BLK_STR) == 32);

// Value kinds of a parameter block.
inline constexpr std::int8_t kWobByte = 1;
inline constexpr std::int8_t kWobInt = 3;
inline constexpr std::int8_t kWobLong = 4;
inline constexpr std::int8_t kWobDouble = 5;
inline constexpr std::int8_t kWobChars6 = 6;       // a character column's data type
inline constexpr std::int8_t kWobStrings = 7;      // VARSTRING array
inline constexpr std::int8_t kWobDoubles = 11;     // pointer to doubles
inline constexpr std::int8_t kWobObject = 12;      // object, or a slot the method fills
inline constexpr std::int8_t kWobFlag = 13;        // on/off in d.bt.st
inline constexpr std::int8_t kWobCell = 17;        // address of a column's value cell
inline constexpr std::int8_t kWobChars = 20;       // counted characters in d.ary
inline constexpr std::int8_t kWobPath = 27;        // d.ary.len path keys at d.ary.p.kp
inline constexpr std::int8_t kWobBlocks = 28;      // further blocks in d.ary
inline constexpr std::int8_t kWobText = 'B';       // a text object in d.k
inline constexpr std::int8_t kWobTexts = 'C';      // pointer to text objects in d.kp

// Status codes of the dispatcher and of the output service (facility 63).
inline constexpr std::int32_t kWobNoMethod = static_cast<std::int32_t>(0x80008001u);
inline constexpr std::int32_t kWobNoValue = static_cast<std::int32_t>(0x80008026u);
inline constexpr std::uint32_t kWobNoValueMask = 0x803fffffu;
inline constexpr int kOutputFacility = 63;
constexpr std::int32_t output_status(int number) {
  return static_cast<std::int32_t>(0x80000000u | (kOutputFacility << 11) | static_cast<unsigned>(number));
}
inline constexpr std::int32_t kOutputBadParameter = output_status(50);
inline constexpr std::int32_t kOutputWrongState = output_status(51);
inline constexpr std::int32_t kOutputMissingParameter = output_status(52);
inline constexpr std::int32_t kOutputSkipped = output_status(53);  // tolerated by zyolexit

// A column's flag (define-column request): on, the listing leaves the
// column out; the JSON, the report and the graphs still have it.
inline constexpr int kTagNotListed = 2225;

// Calls method `sel` of `obj`, starting from class table `sst` (null: the
// object's own). Returns the method's status, or kWobNoMethod.
std::int32_t wobmth(wobop obj, WOB_MA_TBL_STR* sst, std::int32_t sel, std::int32_t np,
                    WOB_PARM_BLK_STR* pb);

// Ends a group opened with request 300 through its class's end method.
std::int32_t wob_end_group(wobop group);

// Parameter blocks, built in place.
WOB_PARM_BLK_STR wob_int(int tag, std::int32_t value);
WOB_PARM_BLK_STR wob_long(int tag, std::int64_t value);
WOB_PARM_BLK_STR wob_double(int tag, double value);
WOB_PARM_BLK_STR wob_byte(int tag, char value);
WOB_PARM_BLK_STR wob_text(int tag, xobskey text);
WOB_PARM_BLK_STR wob_texts(int tag, xobskey* texts);
WOB_PARM_BLK_STR wob_strings(int tag, VARSTRING* strings);
WOB_PARM_BLK_STR wob_chars(int tag, const char* text, std::int64_t length);
WOB_PARM_BLK_STR wob_object(int tag, wobop object);  // null: a slot the method fills
WOB_PARM_BLK_STR wob_cell(int tag, const void* cell);
WOB_PARM_BLK_STR wob_doubles(int tag, const double* values);
WOB_PARM_BLK_STR wob_flag(int tag, int on);
WOB_PARM_BLK_STR wob_path(int tag, xobskey* keys, std::int64_t count);
WOB_PARM_BLK_STR wob_blocks(int tag, WOB_PARM_BLK_STR* blocks, std::int64_t count);
WOB_PARM_BLK_STR wob_key_slot(int tag, xobskey* slot);
