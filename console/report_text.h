#pragma once
// Names as the console's reports show them: in the system code page (with
// stand-ins for what it lacks, path_text.h) and escaped for the tab-separated
// text report, and as UTF-8 (or raw bytes) for the JSON report. Names are
// UTF-8 inside the programs on every system.

#include <string>

// The name as the text report prints it: displayPath's form (POSIX: the
// bytes as they are). A name holding a tab, a carriage return or a line feed
// is escaped: those become \t, \r and \n and a backslash becomes \\.
std::string reportName(const char* name);

// name as UTF-8 into utf8; false, utf8 holding the bytes as they are, when
// name is malformed UTF-8 (on Windows: a name with an unpaired surrogate).
bool nameToUtf8(const char* name, std::string& utf8);

// bytes in base64 (RFC 4648, with padding).
std::string base64(const std::string& bytes);
