#pragma once
// The console's modes around the one-file conversion: a list of files given
// as arguments, and the one-file mode's quiet and JSON reports.
//
// File-list mode ("tolvarinxc [switches] FILE..."): every file converts as
// "-i FILE" would, on the folder mode's threads and with its report. It takes
// the flag and level switches, "-j" and "-xi"; "-kt" is named as ignored (a
// transparent colour is kept in any case, as with "-i"); "-o", "-od", "-r" and
// "-t" are refused.

#include <cstdint>
#include <cstdio>

class CommandLineScanner;
struct SortedWords;

// True when the command line asks for the file-list mode: no "-i" and no
// "-d", at least one file word, and nothing that is not a known switch.
bool isFileListLine(const CommandLineScanner& scanner, const SortedWords& words);

// Runs the file-list mode over words.files. Messages about the command line
// go to out, or to err with "--json". Returns the exit status.
int runFileListMode(const CommandLineScanner& scanner, uint16_t runFlags, const SortedWords& words, FILE* out,
                    FILE* err);

// Prints a warning to err for each word of words that the run ignores.
void warnIgnoredWords(const SortedWords& words, FILE* err);

// Prints "tolvarinxc: unknown switch: -name" to err for each switch word of
// words that the program does not know.
void warnUnknownSwitches(const SortedWords& words, FILE* err);

// Prints a warning to err for each switch that a run in mode (CONSOLE_MODE_*)
// with runFlags (read from scanner) leaves without effect (ignoredSwitches of
// console_switches.h).
void warnIgnoredSwitches(const CommandLineScanner& scanner, uint16_t runFlags, uint8_t mode, FILE* err);

// The one-file mode ("-i"): the text report as it is, only its failures with
// "-q", or the JSON report with "--json". Returns the exit status.
int runOneFileMode(const CommandLineScanner& scanner, uint16_t runFlags, FILE* out, FILE* err);
