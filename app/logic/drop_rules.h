#pragma once
// Taking the first path of a file drop whole or not at all. The platform's
// drop query copies a path (UTF-8) into a fixed buffer and cuts what does not fit; a
// cut path names another file or folder (or none), so a path longer than the
// buffer holds is refused, with the caller's warning, rather than used.
//
// Window thread.

// The longest dropped path the desktop program takes, in bytes without the
// NUL: what its path buffers and folder fields hold.
constexpr unsigned kDroppedPathCapacity = 511;

// What the first path of a drop turned out to be.
enum class DroppedPath {
    None,      // the drop holds no path
    TooLong,   // longer than the buffer holds: refused, buffer empty
    Taken,     // copied whole into the buffer
};

// Asks a drop about its path number index, the way the platform's drop query
// does: with a null buffer, the path's length in bytes without its NUL (0
// when there is no such path); otherwise copies at most size - 1 bytes and a
// NUL into buffer and returns the bytes copied.
using DropQuery = unsigned (*)(void* drop, unsigned index, char* buffer, unsigned size);

// Copies the first path of drop into buffer, which holds capacity bytes and
// a NUL. Whatever the answer, buffer holds a NUL-terminated text afterwards
// (empty unless Taken).
DroppedPath takeDroppedPath(DropQuery query, void* drop, char* buffer, unsigned capacity);

// The same for a drop handle of the platform (an HDROP), through its drop
// query. Windows only.
DroppedPath takeFirstDroppedPath(void* dropHandle, char* buffer, unsigned capacity);
