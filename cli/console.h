#pragma once

// What program-cli needs of the terminal (a console on Windows) and of the
// process around it: its arguments, its output, and how a user stops a job.

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jobs/run_job.h"

namespace cli {

// The arguments after the program's name, as UTF-8. Nothing when one of
// them cannot be (a lone surrogate in a Windows argument).
std::optional<std::vector<std::string>> Utf8Arguments(int argc, char** argv);

// Puts the standard streams and the console in the state the program
// expects: on POSIX, a reader that goes away is a write error, for the
// data and the messages alike, not the end of the program (SIGPIPE
// ignored); on Windows, bytes written as they are (no "\r" added before
// "\n"), and Ctrl-C taken even when a parent started the program in a
// process group of its own.
void PrepareConsole();

// Writes UTF-8 `text` to `stream` (stdout or stderr) and flushes it: as
// characters when the stream is a console that takes them, as the bytes
// themselves when it is redirected.
void WriteText(std::FILE* stream, std::string_view text);

// True when `path` names the file standard output writes, as /dev/stdout
// does: a message written there would be appended to the data.
bool IsStandardOutput(const std::string& path);

// True when standard error is a terminal on which a progress line can be
// drawn and taken back.
bool StandardErrorIsTerminal();

// What takes a drawn progress line of `width` characters back off the
// screen, leaving the cursor at the start of the line.
std::string LineEraser(int width);

// From now on the user's ways of stopping a program (Ctrl-C, and the
// platform's others: SIGTERM and a closed terminal, or Ctrl-Break and a
// closed console) clear `running`, which cancels the job. A closed console
// then waits for JobEnded, since Windows ends the process as soon as it
// has been told.
void CancelOnInterrupt(jobs::RunningFlag& running);

// The job has ended and has removed whatever temporary output it made.
void JobEnded();

}  // namespace cli
