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

// What a tree holds below its root, each folder listed before anything in it.
struct TreeListing {
  std::vector<std::wstring> folders;
  std::vector<std::wstring> files;
};

// False when a folder of the tree cannot be read.
bool ListTree(Platform::IFileSystem& files, const std::wstring& root, TreeListing& listing);

using Deadline = std::chrono::steady_clock::time_point;
constexpr Deadline kNoDeadline = Deadline::max();

// Deletes root and everything in it, read-only files too. True once root is
// gone; false when something stays or the deadline passed first.
bool RemoveTree(Platform::IFileSystem& files, const std::wstring& root, Deadline until = kNoDeadline);

// Deletes the folders of a tree that holds no file. True once root is gone;
// false, deleting nothing more, when a file is found or a folder stays.
bool RemoveEmptyTree(Platform::IFileSystem& files, const std::wstring& root);

}  // namespace InstallBackend
