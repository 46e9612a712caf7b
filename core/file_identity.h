#pragma once
// What a file keeps when ReplacingFile writes a new one over it: the new file
// takes the old one's place under the same name, and with these helpers its
// identity too.
//
// POSIX: the temporary file is created readable and writable by its owner
// only, then given the replaced file's owner and group (where the process may
// set them), its extended attributes (POSIX ACLs included, as the file system
// keeps them there) and last its mode bits, umask regardless. A group or owner
// that cannot be set takes the group's permission bits or the set-user-ID bit
// off the copied mode, so the new file is never more open than the old one.
// Windows: the replacement itself gives the closed temporary file the
// replaced file's attributes, security descriptor and creation time before
// its one rename (replaceFileWith); nothing is copied here.
//
// Stateless; any thread.

#include <cstdint>

class FileHandle;
class TextString;

// out = the file that writing to path reaches: path itself, or, when path is
// a symbolic link (POSIX), the file the chain of links ends at, so that the
// temporary file lies beside it and the link stays a link. False for a link
// whose chain ends nowhere (a dangling link): nothing may be written then.
bool resolveWriteTarget(const char* path, TextString& out);

// Creates tempPath, which must not exist yet, for writing. replacing: a file
// is about to be replaced by it (see copyFileIdentity); otherwise the file
// gets the platform's defaults for a new file.
bool createTemporaryFile(FileHandle& file, const char* tempPath, bool replacing);

// Gives the open temporary file the identity of the existing file at
// targetPath (see above). False when an extended attribute or the mode could
// not be copied; the caller then abandons the replacement.
bool copyFileIdentity(const char* targetPath, FileHandle& temporary);

// Whether a file stands at path to be replaced; Unknown when the file system
// could not tell (an I/O error): nothing may be written then, since a file
// that is there would lose its identity.
enum class TargetState { Missing, Exists, Unknown };
TargetState replacementTarget(const char* path);

// How many names (hard links) the file at path has; 0 when it does not exist,
// kUnknownLinkCount when the file system could not tell.
constexpr uint32_t kUnknownLinkCount = 0xFFFFFFFFu;
uint32_t fileLinkCount(const char* path);
