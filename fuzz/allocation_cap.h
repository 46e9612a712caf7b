#pragma once
// A ceiling on the heap for processes that feed hostile files to the program.
//
// A file of a few bytes may claim a picture of gigabytes; the program then asks
// the heap for it and must cope when the heap refuses. Under the fuzz targets
// and the replay of their inputs the heap therefore refuses large requests, so
// that such inputs test the refusal paths rather than the machine's memory.
// With AddressSanitizer single allocations above 32 MiB return null (set
// through the sanitizer's default options, defined beside capAllocations);
// without it the address space of the process is limited to what it uses now
// plus 512 MiB.

// Installs the ceiling (idempotent). Call once, early, from the executable.
void capAllocations();
