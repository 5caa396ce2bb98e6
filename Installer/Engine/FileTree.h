#pragma once
#include <chrono>
#include <string>
#include <vector>

#include "Platform/Files/FileSystem.h"

namespace InstallBackend {

// Folder paths here end with a separator ("E:\Apps\"); relative paths
// inside a tree use backslashes and have none at either end ("a\b.txt").
std::wstring WithSeparator(const std::wstring& folder);
std::wstring WithoutSeparator(const std::wstring& folder);

// The folder a relative path is in ("a\b" for "a\b\c.txt"); empty at the top.
std::wstring ParentOf(const std::wstring& relative);

// What a tree holds below its root, each folder listed before anything in it.
struct TreeListing {
  std::vector<std::wstring> folders;
  std::vector<std::wstring> files;
};

// False when a folder of the tree cannot be read or the tree holds a link
// (which is not listed).
bool ListTree(Platform::IFileSystem& files, const std::wstring& root, TreeListing& listing);

// Deletes a file even when it is read-only, hidden or a system file.
bool RemoveFileEvenReadOnly(Platform::IFileSystem& files, const std::wstring& path);

using Deadline = std::chrono::steady_clock::time_point;
constexpr Deadline kNoDeadline = Deadline::max();

// Deletes root and everything in it, read-only files too, but never a link
// or anything that lies elsewhere than its name says: each is left, with
// the folders above it; so does a root that does not lie in its parent
// folder. last, when given, names an entry of root that goes after all the
// others. True once root is gone; false when something stays or the
// deadline passed first.
bool RemoveTree(Platform::IFileSystem& files, const std::wstring& root, Deadline until = kNoDeadline,
                const std::wstring& last = std::wstring());

// Deletes the folders of a tree that holds no file, as RemoveTree does. True
// once root is gone; false, deleting nothing more, when a file or a link is
// found or a folder stays.
bool RemoveEmptyTree(Platform::IFileSystem& files, const std::wstring& root);

}  // namespace InstallBackend
