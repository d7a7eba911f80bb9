#pragma once

#include <memory>
#include <string>

#include "jobs/job_files.h"

namespace test {

// The real disk, with a fault where a test wants one: the n-th read of the
// input, the n-th write of the output (counting from 1), the commit, or the
// creation of the output. Counts the calls it passes on.
class FaultyFiles final : public jobs::JobFiles {
 public:
  int failRead = 0;
  int failWrite = 0;
  bool failCommit = false;
  bool failCreate = false;

  int reads = 0;
  int writes = 0;

  std::unique_ptr<jobs::InputFile> OpenInput(const std::string& path) override;
  std::unique_ptr<jobs::OutputFile> CreateOutput(
      const std::string& path) override;
  bool SameFile(const std::string& a, const std::string& b) override {
    return jobs::DiskFiles().SameFile(a, b);
  }
};

}  // namespace test
