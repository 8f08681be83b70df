// The step's storage: zero-filled blocks from the task pool that live until
// the task ends. A failed allocation is never used as null: callers either
// test the result or take the variant that ends the step with 1016.
#pragma once

// A zeroed block of `bytes` from the task pool; null when the pool has no
// room or `bytes` is not positive.
void* ruva_alloc(long bytes);
// Returns a block to the task pool; null does nothing.
void ruva_free(void* block);
// Reports the shortfall of `bytes` and ends the step with 1016.
[[noreturn]] void ruva_out_of_memory(long bytes);

template <class T>
T* ruva_new(long count = 1) {
  return static_cast<T*>(ruva_alloc(static_cast<long>(sizeof(T)) * count));
}

// As ruva_new, ending the step with 1016 when there is no room.
template <class T>
T* ruva_new_or_exit(long count = 1) {
  T* block = ruva_new<T>(count);
  if (!block) ruva_out_of_memory(static_cast<long>(sizeof(T)) * count);
  return block;
}
