#pragma once
// Names as the console's reports show them: escaped for the tab-separated
// text report, and as UTF-8 (or raw bytes) for the JSON report.

#include <string>

// The name as the text report prints it. A name holding a tab, a carriage
// return or a line feed is escaped: those become \t, \r and \n and a
// backslash becomes \\. Any other name is printed as it is, byte for byte.
std::string reportName(const char* name);

// text (in the system code page) as UTF-8 into utf8; false, utf8 holding the
// bytes as they are, when text is no valid text of the code page (POSIX:
// malformed UTF-8).
bool systemTextToUtf8(const char* text, std::string& utf8);

// bytes in base64 (RFC 4648, with padding).
std::string base64(const std::string& bytes);
