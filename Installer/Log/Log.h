#pragma once
// Writing a record: LOG_INFO << "text" << value; the record ends with the
// statement. Wide texts go through LogText so that what the C runtime
// cannot convert comes out empty instead of as garbage.
#include <easylogging++.h>

#include "Installer/Log/LogText.h"

#define LOG_INFO CLOG(INFO, "default")
#define LOG_ERROR CLOG(ERROR, "default")
