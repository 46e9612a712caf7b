// The zlib side of the extended search's encoders.

#include "engine/extended/extended_encoders.h"

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <new>

#include "core/size_limits.h"
#include "engine/png_optimizer.h"

namespace {

// Rows handed to zlib per deflate call: about this many bytes at a time.
constexpr uint32_t kPieceBytes = 65536;
constexpr uint32_t kOutBytes = 32768;

int zlibStrategy(int32_t encoder)
{
    switch (encoder) {
    case ENCODER_ZLIB_FILTERED: return Z_FILTERED;
    case ENCODER_ZLIB_HUFFMAN: return Z_HUFFMAN_ONLY;
    case ENCODER_ZLIB_RLE: return Z_RLE;
    default: return Z_DEFAULT_STRATEGY;
    }
}

class Compressor {
public:
    Compressor(int32_t encoder, int level)
    {
        ready_ = deflateInit2(&stream_, level, Z_DEFLATED, 15, 9, zlibStrategy(encoder)) == Z_OK;
    }
    ~Compressor()
    {
        if (ready_)
            deflateEnd(&stream_);
    }
    bool ready() const { return ready_; }

    // Feeds input; the output goes to out when not null, else is only counted.
    bool feed(const uint8_t* data, uint32_t size, bool last, std::vector<uint8_t>* out)
    {
        stream_.next_in = const_cast<Bytef*>(data);
        stream_.avail_in = size;
        for (;;) {
            stream_.next_out = buffer_;
            stream_.avail_out = kOutBytes;
            const int result = deflate(&stream_, last ? Z_FINISH : Z_NO_FLUSH);
            if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR)
                return false;
            const uint32_t produced = kOutBytes - stream_.avail_out;
            if (out && produced > 0)
                out->insert(out->end(), buffer_, buffer_ + produced);
            if (stream_.total_out > kMaxBlockBytes)
                return false;
            if (last ? result == Z_STREAM_END : stream_.avail_out != 0)
                return true;
        }
    }
    uint32_t total() const { return static_cast<uint32_t>(stream_.total_out); }

private:
    z_stream stream_ = {};
    bool ready_ = false;
    uint8_t buffer_[kOutBytes];
};

}   // namespace

uint32_t zlibPlannedLength(const PackedRows& image, const std::vector<uint8_t>& types,
                           int32_t encoder, int level, const std::atomic<bool>& stop)
{
    try {
        std::unique_ptr<Compressor> compressor(new Compressor(encoder, level));
        if (!compressor->ready())
            return 0;
        const uint32_t rowsPerPiece = image.stride >= kPieceBytes ? 1 : kPieceBytes / image.stride;
        std::vector<uint8_t> piece(size_t(rowsPerPiece) * image.stride);
        for (uint32_t row = 0; row < image.height;) {
            if (stop.load(std::memory_order_relaxed))
                return 0;
            const uint32_t count = std::min(rowsPerPiece, image.height - row);
            for (uint32_t k = 0; k < count; ++k)
                filterPlannedRow(image, types, row + k, piece.data() + size_t(k) * image.stride);
            row += count;
            if (!compressor->feed(piece.data(), count * image.stride, row == image.height, nullptr))
                return 0;
        }
        return compressor->total();
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

bool zlibEncode(const uint8_t* data, uint32_t size, int32_t encoder, std::vector<uint8_t>& out)
{
    try {
        out.clear();
        std::unique_ptr<Compressor> compressor(new Compressor(encoder, 9));
        return compressor->ready() && compressor->feed(data, size, true, &out);
    } catch (const std::bad_alloc&) {
        return false;
    }
}
