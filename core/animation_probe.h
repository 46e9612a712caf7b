#pragma once
// Tells whether an image file holds an animation, from its chunk or block
// structure alone (no pixel data is decoded): a PNG is animated when an acTL
// chunk comes before its first IDAT; a GIF when it holds more than one image.
//
// The loaders read one picture only (a PNG's default image, a GIF's first
// image), so a conversion asks this before it lets that picture stand in for
// the file. A damaged structure ends the walk with what was seen so far.
// Stateless; any thread.

#include <cstdint>

enum class Animation {
    None,          // a still picture, no image file, or unreadable
    AnimatedPng,   // acTL before the first IDAT
    AnimatedGif,   // two or more image descriptors
};

Animation probeAnimationFile(const char* path);
// The same for a file's content in memory (size bytes at data).
Animation probeAnimationMemory(const uint8_t* data, uint32_t size);
