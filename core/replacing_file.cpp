#include "core/replacing_file.h"

#include <cstdio>

#include "core/byte_buffer.h"

namespace {

// Attempts at a free temporary name before giving up.
constexpr int kTempNameAttempts = 1000;
constexpr uint32_t kCopyChunkBytes = 0x10000;

}  // namespace

bool ReplacingFile::begin(const char* targetPath)
{
    abandon();
    targetPath_.assign(targetPath);
    // The temporary file lies in the target's own folder, so the final move
    // never crosses file systems and can replace the target in one step.
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%d.tlvtmp", attempt);
        tempPath_.assign(targetPath);
        tempPath_.append(suffix);
        if (file_.createNew(tempPath_.c_str())) {
            active_ = true;
            return true;
        }
        if (!fileExists(tempPath_.c_str()))
            return false;   // the folder refuses new files: nothing was touched
    }
    return false;
}

bool ReplacingFile::commit()
{
    if (!active_)
        return false;
    const bool flushed = file_.flush();
    const bool closed = file_.close();
    if (!flushed || !closed || !replaceFileWith(tempPath_.c_str(), targetPath_.c_str())) {
        abandon();
        return false;
    }
    active_ = false;
    return true;
}

void ReplacingFile::abandon()
{
    if (!active_)
        return;
    file_.close();
    deleteFile(tempPath_.c_str());
    active_ = false;
}

bool copyFileReplacing(const char* source, const char* target)
{
    FileHandle in;
    if (!in.openRead(source))
        return false;
    const uint32_t expected = in.size();
    ByteBuffer chunk;
    if (!chunk.allocate(kCopyChunkBytes, false))
        return false;
    ReplacingFile out;
    if (!out.begin(target))
        return false;
    uint32_t copied = 0;
    for (;;) {
        const uint32_t n = in.read(chunk.data, chunk.size);
        if (n == 0)
            break;
        if (out.file().write(chunk.data, n) != n)
            return false;   // out's destructor removes the temporary file
        copied += n;
    }
    if (copied != expected)
        return false;   // a read error ended the loop early
    // Closed first: Windows refuses to replace a file that is still open, and
    // the target may be the source under another name.
    in.close();
    return out.commit();
}
