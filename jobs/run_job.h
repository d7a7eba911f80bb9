#pragma once

#include <cstdint>

#include "jobs/job_context.h"
#include "jobs/job_files.h"
#include "jobs/messages.h"

namespace jobs {

// One encryption or decryption, start to end, on the calling thread: checks
// the request, picks the direction from the input's name (extension "crypt"
// in any letter case decrypts), runs it, and ends through EndJob, which
// shows the final message, enables the start button and clears `running`.
// Returns that message as well.
//
// Call it with `running` set to 1; clearing it from another thread cancels
// the job at its next body byte.
JobMessage RunJob(JobContext& context, RunningFlag& running,
                  JobFiles& files = DiskFiles());

// The progress bar's position for the body byte at `index` of `size`:
// 100 * index / (size + 1), truncated.
int ProgressPosition(std::int64_t index, std::int64_t size);

}  // namespace jobs
