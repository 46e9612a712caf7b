#pragma once
// A private folder of the process for the files the checks hand to the
// program (the readers and the optimizer work on paths). It lives on a memory
// file system when one is available, and is removed with its contents when the
// process ends normally. Not thread-safe.

#include <cstddef>
#include <cstdint>
#include <string>

// The folder, created on first use. Empty when it cannot be created.
const std::string& scratchFolder();
// scratchFolder() + "/" + name.
std::string scratchPath(const char* name);
// Replaces the file at path with the given bytes. False on any failure.
bool writeScratchFile(const std::string& path, const uint8_t* data, size_t size);
// Names of the entries of the scratch folder other than those given (up to
// two names; null for none), separated by spaces; empty when there are none.
std::string unexpectedScratchEntries(const char* keepA, const char* keepB);
