// A kernel-library memory pool (QXPoolh): a kernel object whose generic
// header is followed by its allocate and free entries.
#pragma once

#include <cstdint>

#include "host/types.h"

struct QXPOOL_S {
  void* oven;                   // the object that made the pool
  const char* name;             // the object's kind
  void (*destroy)(void* self);  // releases the pool and every block in it
  // Returns a block of `size` bytes, or null when none can be had.
  void* (*memAlloc)(QXPOOL_S* pool, QXMemSize size, std::uint32_t flags);
  // Gives a block back to the pool.
  void (*memFree)(QXPOOL_S* pool, void* block);
};
using QXPoolh = QXPOOL_S*;
