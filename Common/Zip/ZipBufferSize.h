#pragma once
#include <cstddef>

// Compressed data is read, and extracted data written, in pieces of this
// size. A USB drive takes a few large writes much faster than many small
// ones, and an entry still needs only these two buffers, whatever its size.
// The extraction looks at the cancel flag after every piece, which even a
// slow drive writes in a few dozen milliseconds. The extraction benchmark
// builds the old 16 KiB size as a variant (KORVANE_ZIP_BUFFER_BYTES) to
// compare against.
#ifndef KORVANE_ZIP_BUFFER_BYTES
#define KORVANE_ZIP_BUFFER_BYTES 262144
#endif

constexpr std::size_t kZipBufferSize = KORVANE_ZIP_BUFFER_BYTES;
