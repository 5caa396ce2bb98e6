#pragma once
#include <cstdint>

namespace InstallBackend {

// What a failed network call of the download came to, in the words of the
// log ("connection reset"); null when a new connection cannot mend it: a
// certificate or secure channel the system refuses (a new connection meets
// the same certificate), or a call the program itself got wrong.
const char* ConnectionFailureName(std::uint32_t code);

}  // namespace InstallBackend
