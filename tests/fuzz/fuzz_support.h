#pragma once

// What the fuzz targets and their corpus generator share: the passwords and
// output names a container input chooses between, and a job on files that
// keeps what it reported.

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "jobs/run_job.h"

namespace fuzz {

// The first byte of a container input chooses the password (bits 0-1) and
// the output name (bits 2-3); the container follows it.
inline const std::array<std::string, 4> kPasswords = {
    "fuzz", "a", "0123456789abcdef", "парола"};
inline const std::array<std::string, 4> kOutputNames = {
    "out", "out.txt", "OUT.CRYPT", "in.crypt"};
inline constexpr const char* kInputName = "in.crypt";

inline unsigned char Selector(std::size_t password, std::size_t output) {
  return static_cast<unsigned char>(password | (output << 2U));
}

// Keeps what a job reported of its progress.
class KeepingProgress final : public jobs::ProgressSink {
 public:
  void SetRange(int minimum, int maximum) override {
    ranges.emplace_back(minimum, maximum);
  }
  void SetPosition(int position) override {
    rangeFirst = rangeFirst && !ranges.empty();
    positions.push_back(position);
  }

  std::vector<std::pair<int, int>> ranges;
  bool rangeFirst = true;  // no position came before the range
  std::vector<int> positions;
};

// One job on real files, with the texts and paths a dialog would hold.
struct FileJob {
  FileJob(const std::string& input, const std::string& output,
          const std::string& password)
      : request{input, input, output, output, password} {}

  jobs::JobResult Run() { return jobs::RunJob(request, running, progress); }

  jobs::JobRequest request;
  KeepingProgress progress;
  jobs::RunningFlag running{1};
};

}  // namespace fuzz
