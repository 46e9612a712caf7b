#include "core/folder_file_list.h"

#include <cstring>

#include "core/file_handle.h"
#include "core/folder_scan.h"
#include "core/codepage.h"

namespace {

// The record header: kind byte and 16-bit text length.
constexpr uint32_t kRecordHeaderBytes = 3;

}  // namespace

bool FolderFileList::build(const char* root, uint16_t typeMask, bool includeSubfolders, const char* excludedFolder)
{
    excludedFolder_.assign(excludedFolder != nullptr ? excludedFolder : "");
    this->includeSubfolders = includeSubfolders ? 1 : 0;
    this->typeMask = typeMask;
    fileCount = 0;
    readPosition = 0;
    failed_ = false;
    bool ok = records.init(kFolderListInitialBytes, kFolderListGrowBytes) != nullptr;
    ok = ok && scanFolder(root) && records.appendByte(ITEM_END);
    if (!ok) {
        records.release();
        fileCount = 0;
    }
    return ok;
}

bool FolderFileList::scanFolder(const char* folder)
{
    const char* outer = currentFolder_;
    currentFolder_ = folder;
    forEachFolderEntry(folder, &FolderFileList::visitEntry, this);
    currentFolder_ = outer;
    return !failed_;
}

bool FolderFileList::visitEntry(const FolderEntry& entry, void* userData)
{
    auto* list = static_cast<FolderFileList*>(userData);
    if (entry.isFolder) {
        // Skips "." and ".." and every folder whose name starts with a dot.
        if (entry.name[0] == '.' || !list->includeSubfolders)
            return true;
        TextString path(list->currentFolder_);
        path.appendChar(kPathSeparator);
        path.append(entry.name);
        if (!list->excludedFolder_.isEmpty() && isSameFile(path.c_str(), list->excludedFolder_.c_str()))
            return true;
        const char* folder = list->currentFolder_;
        if (!list->appendRecord(ITEM_ENTER_FOLDER, path.c_str()) || !list->scanFolder(path.c_str()) ||
            !list->appendRecord(ITEM_LEAVE_FOLDER, folder))
            return false;
        return true;
    }
    if (list->matchesTypes(entry.name)) {
        if (!list->appendRecord(ITEM_FILE, entry.name))
            return false;
        ++list->fileCount;
    }
    return true;
}

bool FolderFileList::appendRecord(uint8_t kind, const char* text)
{
    const size_t n = std::strlen(text) + 1;
    if (n > 0xFFFF) {
        // No path of the platforms is this long; such an entry cannot be
        // stored, so it is left out rather than cut.
        return true;
    }
    uint8_t header[kRecordHeaderBytes] = {kind, static_cast<uint8_t>(n & 0xFF), static_cast<uint8_t>(n >> 8)};
    if (!records.append(header, kRecordHeaderBytes) || !records.append(text, static_cast<uint32_t>(n))) {
        failed_ = true;
        return false;
    }
    return true;
}

bool FolderFileList::matchesTypes(const char* name)
{
    name_.assign(name);
    name_.getExtension(extension_);
    return ((typeMask & FOLDER_TYPE_BMP) && extension_.compareNoCase("bmp") == 0) ||
           ((typeMask & FOLDER_TYPE_PNG) && extension_.compareNoCase("png") == 0) ||
           ((typeMask & FOLDER_TYPE_GIF) && extension_.compareNoCase("gif") == 0);
}

uint8_t FolderFileList::nextItem(TextString& text)
{
    if (!records.data || readPosition >= records.used)
        return ITEM_END;
    const uint8_t* record = records.data + readPosition;
    const uint8_t kind = record[0];
    if (kind == ITEM_END)
        return ITEM_END;
    // Every record was written whole by appendRecord; one that does not fit
    // the used bytes is read as the end rather than past them.
    const uint32_t remaining = records.used - readPosition;
    if (remaining < kRecordHeaderBytes)
        return ITEM_END;
    const uint32_t n = record[1] | (uint32_t(record[2]) << 8);
    if (n == 0 || n > remaining - kRecordHeaderBytes || record[kRecordHeaderBytes + n - 1] != 0)
        return ITEM_END;
    text.assign(reinterpret_cast<const char*>(record + kRecordHeaderBytes));
    readPosition += kRecordHeaderBytes + n;
    return kind;
}
