// The step's parse and print record, created by xinit in the task pool.
#pragma once

#include <cstdint>

struct LINESTR;

struct PROCSTR {
  void* head;                  // statement list
  void* last;
  void* current;
  std::int16_t error;
  char name[32];
  void* curfile;
  void* lookfile;
  std::int16_t listnum;
  const char* firstvarnam;
  std::int32_t firstvarnaml;
  const char* lastvarnam;
  std::int32_t lastvarnaml;
  double dostart;
  double doend;
  double doby;
  void* custom;                // parser callback
  std::int16_t lastn;
  void* userptr;
  void* procptr;
  char oldnamepool[64];
  LINESTR* proc_logl;          // the host's log, print, output and message line records
  LINESTR* proc_prnl;
  LINESTR* proc_outl;
  LINESTR* proc_msgl;
  void* proc_reentptr1;
  void* proc_reentptr2;
  void* proc_reentptr3;
  void* proc_reentptr4;
  void* proc_reentptr5;
  std::uint8_t proc_syndebug;  // DEBUG option holds "SYN"
  std::uint8_t proc_semdebug;  // DEBUG option holds "SEM"
  std::uint8_t proc_synerror;
  std::uint8_t proc_debug;
  void* proc_seffectptr;
  char namepool[64];
  void* host_reserved;
};

void xinit();

// The step's PROCSTR, from word 20 of the task record.
PROCSTR* current_procstr();
