// The generic header that every kernel-library object begins with, and the
// opaque handle types of kernel-library callbacks.
#pragma once

struct QXGeneric {
  void* oven;                   // the object that made this one
  const char* name;             // the object's kind
  void (*destroy)(void* self);  // releases the object
};

using QXMemPtr = void*;   // caller context handed back to a callback
using QXGenerich = void*; // a request or object handed to a callback
using QXThreadh = void*;  // the thread a callback runs on
