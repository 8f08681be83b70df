// Names in the host's chained name lists. Each block of the chain begins
// with four 64-bit words (unused, next block, unused, the number of the
// block's last name) and then packs its names from byte 32 on, each as a
// length byte and that many characters. Names are numbered from 0 across
// the whole chain.
#pragma once

// Finds name `elemnum`: stores the address of its characters at *npp and
// its length at *nlp and returns 0; returns 1 when there is no such name.
int zgetnmr(const void* listptr, int elemnum, const char** npp, int* nlp);
