// The parts of the generic generator operations that do not depend on the
// engine's code: loading a state, journalling the blob, converting doubles
// to keys, and the blob-size note.
#pragma once

#include <cstdint>

#include "host/types.h"

// Loads `state_l` bytes of `state` into the first `state_size` bytes of the
// blob. Returns 0 nothing loaded, 1 partial load with the rest kept (flags
// bit 0), 2 complete, 3 filled by repetition (flags bit 1), 4 partial load
// completed by zeros and mixing.
int zrng_state_load(void* blob, QXMemSize state_size, const std::uint8_t* state, int state_l,
                    std::uint64_t flags);
// Journals min(max_len, blob_size / 4) 32-bit words (or / 8 64-bit words),
// four to a line, to the kernel's default journal.
void zrng_dump_words_32(const void* blob, QXMemSize blob_size, int max_len);
void zrng_dump_words_64(const void* blob, QXMemSize blob_size, int max_len);
// Sends the information note with the method name and its blob size.
void zrng_note_blob_size(const char* name, QXMemSize blob_size);

// fmod(d, 2^32) and fmod(d, 2^64) toward zero as unsigned integers, negative
// values counted modulo 2^32 or 2^64. `d` must be finite.
std::uint32_t zrng_wrap_key_32(double d);
std::uint64_t zrng_wrap_key_64(double d);
// A seed mapped by zrngd2i to 1 .. 2^32-1 or 2^64-1; 0 when it cannot be.
std::uint32_t zrng_mapped_seed_32(double d);
std::uint64_t zrng_mapped_seed_64(double d);
