#pragma once
// zopfli over consecutive parts of one buffer, the parts encoded side by side
// on a worker pool and joined at bit level into one deflate stream.
//
// Each part is a run of deflate blocks that sees the whole buffer before it as
// history (up to the 32 KiB window), so the joined stream matches the
// buffer's one-piece encoding except that a block always ends at a part
// boundary. The split depends only on the size and the part count given,
// never on the pool: the stream is the same for every thread count as long as
// the caller derives the part count from the data (zopfliPartCount).

#include <cstdint>
#include <vector>

class WorkerPool;

// The most parts one stream is split into.
constexpr uint32_t kMaxZopfliParts = 64;
// The data one part of zopfliPartCount's rule holds at least.
constexpr uint32_t kZopfliPartBytes = 256 * 1024;

// The part count for size bytes: one part per partBytes (rounded down), at
// least 1, at most kMaxZopfliParts.
uint32_t zopfliPartCount(uint64_t size, uint32_t partBytes = kZopfliPartBytes);

// Where part index of parts (1 to kMaxZopfliParts, clamped to size) starts:
// the parts are as equal as whole bytes allow, part `parts` starting at size.
uint32_t zopfliPartStart(uint32_t size, uint32_t parts, uint32_t index);

// Part starts for data at the boundaries zopfli's own block splitter puts
// between its first blocks (at most kMaxZopfliParts parts, each at least
// minPartBytes but the last): parts that cost next to nothing in size, as
// zopfli would end a block there anyway. starts[0] is 0; one start (one part)
// when the data is small or has no such boundary, unless it holds at least
// two kZopfliPartBytes: then zopfliPartCount's equal parts. Depends on the
// data only.
bool zopfliBlockStarts(const uint8_t* data, uint32_t size, uint32_t minPartBytes, std::vector<uint32_t>& starts);

// The zlib stream of data in the parts that begin at starts (ascending, the
// first 0, each below size), as zopfliEncodeParts makes it.
bool zopfliEncodeAt(const uint8_t* data, uint32_t size, int32_t iterations, const std::vector<uint32_t>& starts,
                    WorkerPool* pool, std::vector<uint8_t>& out);

// The raw deflate stream (no zlib framing) of data in parts, zopfli running
// `iterations` rounds (at least 1) on each. The parts run on pool's workers
// when a pool is given and more than one part is made, else on the calling
// thread. Must not be called from one of pool's own jobs. False when memory
// is short or the stream would exceed kMaxBlockBytes.
bool zopfliDeflateParts(const uint8_t* data, uint32_t size, int32_t iterations, uint32_t parts,
                        WorkerPool* pool, std::vector<uint8_t>& deflate);

// The same stream as a complete zlib stream (header and Adler-32 added).
bool zopfliEncodeParts(const uint8_t* data, uint32_t size, int32_t iterations, uint32_t parts,
                       WorkerPool* pool, std::vector<uint8_t>& out);
