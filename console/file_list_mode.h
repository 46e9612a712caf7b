#pragma once
// The console's modes around the one-file conversion: a list of files given
// as arguments, and the one-file mode's quiet and JSON reports.
//
// File-list mode ("tolvarinxc [switches] FILE..."): every file converts as
// "-i FILE" would, on the folder mode's threads and with its report. It takes
// the flag and level switches, "-j", "-xi" and "-kt" (a transparent colour is
// kept in any case, as with "-i"); "-o", "-od", "-r" and "-t" are refused.

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

// Prints a warning to err for each switch that runFlags (read from scanner)
// leave without effect: a level switch after the first that asks for another
// level, and "-xi" at a level that runs no zopfli ("-x1").
void warnIgnoredSwitches(const CommandLineScanner& scanner, uint16_t runFlags, FILE* err);

// The one-file mode ("-i"): the text report as it is, only its failures with
// "-q", or the JSON report with "--json". Returns the exit status.
int runOneFileMode(const CommandLineScanner& scanner, uint16_t runFlags, FILE* out, FILE* err);
