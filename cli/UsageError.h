#pragma once

#include "common/TessaroError.h"

// The command line itself is wrong (an unknown option, a missing or malformed value): the
// program ends with status 2 and points at the command's --help.
class UsageError : public TessaroError
{
  public:
    using TessaroError::TessaroError;
};
