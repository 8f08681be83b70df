// The host's wait records: a gate that a task waits on and the record that
// binds a kernel-library event to a gate (services wtforev, wtgwait).
#pragma once

// A gate: posted once, waited on by one task.
struct GATE {
  const char* tid;          // task id text, or null
  int postcode;             // code given with the post
  int post;                 // 0 until posted, then 1
  void* rclist;             // reserved for the host
  unsigned long initflags;  // reserved for the host
};

// Filled by the host (wtforev) so that posting the kernel event posts the
// gate: extPost(context) posts; extEvent is the kernel event bound to it.
struct QXForeignEvent {
  void* context;
  void* extEvent;
  void (*extPost)(void* context);
};
