// The growable model text: appends that keep the text's blank padding and
// double its capacity as needed.
#pragma once

#include <cstdint>

#include "host/compiler_types.h"

// Makes room for `extra` bytes written one past `length` (and a blank
// after): while length + extra + 3 exceeds the capacity, the capacity
// doubles; the text moves to a new blank-filled buffer of the task pool.
// Ends the step with 1016 when the pool has no room.
void model_text_reserve(char** text, std::int32_t* capacity, std::int32_t length, std::int32_t extra);

// A new blank-filled text of `capacity` bytes; ends the step with 1016 when
// the pool has no room.
char* model_text_new(std::int32_t capacity);

// Writes `n` bytes one position past `*length` and advances the length by
// n + 2, so the text stands between blanks.
void model_text_append(char** text, std::int32_t* capacity, std::int32_t* length, const char* bytes,
                       std::int32_t n);

// The length of a statement source's leading "label:" and the blanks after
// it, 0 when none.
std::int32_t label_part(const CMPSRC& src);

// Whether a statement's text (past its label) begins with "MODEL ", case-blind.
bool begins_with_model(const char* text, std::int32_t length);
