#pragma once

#include "jobs/messages.h"

namespace cli {

// Exit statuses: 0 when the job is done, one status per failure message,
// and kUsageError when the command line or the password could not be used.
inline constexpr int kUsageError = 2;

int ExitCodeFor(jobs::JobMessage message);

}  // namespace cli
