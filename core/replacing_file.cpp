#include "core/replacing_file.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "core/byte_buffer.h"
#include "core/file_identity.h"
#include "core/interrupt_guard.h"

namespace {

// Attempts at a free temporary name before giving up.
constexpr int kTempNameAttempts = 1000;
constexpr uint32_t kCopyChunkBytes = 0x10000;

// One entry of the interrupt list. state goes Free -> Claimed (the owner
// writes path) -> Listed (path is complete) -> Free; a handler reads path only
// in the Listed state.
enum SlotState : int { kSlotFree = 0, kSlotClaimed = 1, kSlotListed = 2 };
struct ListedTempFile {
    std::atomic<int> state{kSlotFree};
    char path[kMaxListedTempPathBytes];
};
static_assert(std::atomic<int>::is_always_lock_free, "signal handlers read the list");

ListedTempFile g_listed[kMaxListedTempFiles];

// Lists path; returns its slot, or -1 when the path is too long or the list full.
int listTempFile(const char* path)
{
    const size_t length = std::strlen(path);
    if (length >= kMaxListedTempPathBytes)
        return -1;
    for (int i = 0; i < kMaxListedTempFiles; ++i) {
        int expected = kSlotFree;
        if (g_listed[i].state.compare_exchange_strong(expected, kSlotClaimed, std::memory_order_acquire)) {
            std::memcpy(g_listed[i].path, path, length + 1);
            g_listed[i].state.store(kSlotListed, std::memory_order_release);
            return i;
        }
    }
    return -1;
}

void unlistTempFile(int& slot)
{
    if (slot >= 0)
        g_listed[slot].state.store(kSlotFree, std::memory_order_release);
    slot = -1;
}

}  // namespace

void removeListedTempFiles()
{
    InterruptGuard guard;
    for (ListedTempFile& entry : g_listed) {
        if (entry.state.load(std::memory_order_acquire) == kSlotListed)
            deleteFile(entry.path);
    }
}

int listedTempFileCount()
{
    int count = 0;
    for (const ListedTempFile& entry : g_listed)
        count += entry.state.load(std::memory_order_acquire) == kSlotListed ? 1 : 0;
    return count;
}

bool ReplacingFile::begin(const char* targetPath)
{
    abandon();
    // Through a symbolic link: the file it names is replaced, the link stays.
    if (!resolveWriteTarget(targetPath, targetPath_))
        return false;
    const TargetState target = replacementTarget(targetPath_.c_str());
    if (target == TargetState::Unknown)
        return false;
    const bool replacing = target == TargetState::Exists;
    // The temporary file lies in the target's own folder, so the final move
    // never crosses file systems and can replace the target in one step.
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%d.tlvtmp", attempt);
        tempPath_.assign(targetPath_.c_str());
        tempPath_.append(suffix);
        {
            InterruptGuard guard;   // an interrupt after the create finds the file listed
            if (createTemporaryFile(file_, tempPath_.c_str(), replacing)) {
                listedSlot_ = listTempFile(tempPath_.c_str());
                active_ = true;
                break;
            }
        }
        if (!fileExists(tempPath_.c_str()))
            return false;   // the folder refuses new files: nothing was touched
    }
    if (!active_)
        return false;
    if (replacing && !copyFileIdentity(targetPath_.c_str(), file_)) {
        abandon();
        return false;
    }
    return true;
}

bool ReplacingFile::commit()
{
    if (!active_)
        return false;
    const bool flushed = file_.flush();
    const bool closed = file_.close();
    if (!flushed || !closed) {
        abandon();
        return false;
    }
    {
        InterruptGuard guard;   // the rename and the unlisting as one step for a handler
        if (replaceFileWith(tempPath_.c_str(), targetPath_.c_str())) {
            unlistTempFile(listedSlot_);
            active_ = false;
            return true;
        }
    }
    abandon();
    return false;
}

void ReplacingFile::abandon()
{
    if (!active_)
        return;
    file_.close();
    InterruptGuard guard;
    deleteFile(tempPath_.c_str());
    unlistTempFile(listedSlot_);
    active_ = false;
}

bool copyFileReplacing(const char* source, const char* target)
{
    FileHandle in;
    if (!in.openRead(source))
        return false;
    const uint64_t expected = in.size();
    ByteBuffer chunk;
    if (!chunk.allocate(kCopyChunkBytes, false))
        return false;
    ReplacingFile out;
    if (!out.begin(target))
        return false;
    uint64_t copied = 0;
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
