#pragma once
#include <string>

// Entry names come from the network: they are made relative before use.

// Drops drive prefixes and leading separators, and everything up to a
// separator-dot-dot-separator, until none is left. A leading "../" with
// nothing in front survives; IsContainedEntryName catches it.
std::wstring GuardEntryName(std::wstring name);

// False for a name that could still leave the base folder: one with a
// component made of dots (and the spaces Windows strips) with two or more
// dots, such as "..", "... " or ". .". Such an entry is never written.
bool IsContainedEntryName(const std::wstring& name);

// False for a name that is not plainly a file or folder below the base
// folder on Windows: empty; beginning with a separator (a root or a share);
// a colon anywhere (a drive or an alternate data stream); a character
// Windows refuses in names; a component of dots (as IsContainedEntryName);
// or a component Windows takes for a device (CON, PRN, AUX, NUL, COM1-9,
// LPT1-9, CONIN$, CONOUT$: in any folder, any case, with any extension),
// whose writes would go to the device and leave no file behind.
bool IsPlainRelativeName(const std::wstring& name);

// The key under which the file system knows a relative path: separators
// unified, trailing separators and the dots and spaces Windows drops from
// the end of each component removed, letters folded to one case (ASCII,
// Latin-1, Latin Extended-A, Greek and Cyrillic). Two names with the same
// key are the same file on a Windows drive.
std::wstring FoldEntryPath(const std::wstring& path);
