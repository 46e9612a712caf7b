#pragma once
// Character stepping over the programs' 8-bit text.
//
// Every scan over 8-bit text steps by whole characters so that a byte inside
// a multi-byte character is never taken for '\\', '/', '.' or '"'. Paths and
// command lines are UTF-8 on every system (path_text.h), so the platform's
// rule is UTF-8 on POSIX and Windows alike. Tests may swap the rule with
// ScopedCharStepper.

// Returns the address of the character after the one at p; p itself when *p is 0.
using CharStepper = const char* (*)(const char* p);

// The rule in force (the platform's unless a ScopedCharStepper is active).
const char* nextChar(const char* p);

// The platform's own rule.
const char* platformNextChar(const char* p);
// UTF-8: a lead byte 0xC0-0xDF takes 2 bytes, 0xE0-0xEF 3, 0xF0-0xF7 4; never steps over a NUL.
const char* utf8NextChar(const char* p);
// Code page 932 (Shift-JIS): lead bytes 0x81-0x9F and 0xE0-0xFC take 2 bytes; never steps over a NUL.
const char* cp932NextChar(const char* p);

// Replaces the rule for its lifetime. Not thread-safe: for single-threaded tests.
class ScopedCharStepper {
public:
    explicit ScopedCharStepper(CharStepper stepper);
    ~ScopedCharStepper();
    ScopedCharStepper(const ScopedCharStepper&) = delete;
    ScopedCharStepper& operator=(const ScopedCharStepper&) = delete;

private:
    CharStepper previous_;
};

// The platform's path separator used when a name is appended to a folder.
extern const char kPathSeparator;
