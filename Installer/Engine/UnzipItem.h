#pragma once
#include <functional>
#include <string>
#include <vector>

#include "Common/Zip/ZipReader.h"
#include "Installer/Engine/InstallListener.h"
#include "Installer/Engine/MakeFolders.h"

namespace InstallBackend {

// Where an entry of this name is written below the base folder, or an empty
// text when it must not be written at all: a name that could climb above
// the base folder, or a path of 260 characters or more.
std::wstring ResolveEntryPath(const std::wstring& baseFolder, const std::wstring& name);

// Hands out one entry's data, a block at a time (ReadEntryStream's contract).
using EntryRead = std::function<ZipStreamRead(unsigned char* buffer, std::size_t capacity)>;

// UnzipItem's writing, for an entry whose data comes from `read`: a folder
// for a directory entry, else a file created anew below base with the
// item's attribute bits, its data copied through buffer and its three times.
// The item's name is the one written; results as UnzipItem's.
ZipResult WriteEntry(Platform::IFileSystem& files, FolderMaker& folders, const std::wstring& base,
                     const ZipItem& item, const EntryRead& read, std::vector<unsigned char>& buffer,
                     const CancelFlag* cancel);

// Writes one entry below the reader's base folder, on the reader's file
// system: a folder for a directory entry (no attributes, no times), else a
// file created anew with the entry's attribute bits and, once its data has
// ended, its three times.
// ZipOk; ZipBadArgs for an index out of range; ZipNoFile when the file
// or a folder entry's folder cannot be made, or the name is refused; ZipWriteFailed;
// ZipBadPassword; ZipInflateFailed when the data cannot be read, decoded or
// does not match its CRC-32. A file that failed stays as far as written.
// Folders reaches below the reader's base folder and remembers the folders
// made for earlier entries of the same extraction. A cancel, read after
// every block written, stops a long entry part-way (ZipWriteFailed).
ZipResult UnzipItem(ZipReader* reader, int index, const std::wstring& name, FolderMaker& folders,
                    const CancelFlag* cancel = nullptr);

}  // namespace InstallBackend
