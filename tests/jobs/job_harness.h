#pragma once

#include <string>

#include "jobs/run_job.h"
#include "tests/jobs/recording_window.h"

namespace test {

// One job's request, as a window holds it, and what the job did with it.
struct JobHarness {
  JobHarness(std::string input, std::string output, std::string password)
      : inputText(input),
        outputText(output),
        passwordText(std::move(password)),
        inputPath(std::move(input)),
        outputPath(std::move(output)) {}

  jobs::JobMessage Run(jobs::JobFiles& files = jobs::DiskFiles()) {
    running.store(1);
    jobs::JobContext context{&inputText, &outputText, &passwordText,
                             &inputPath, &outputPath, &window};
    return jobs::RunJob(context, running, files);
  }

  std::string inputText;
  std::string outputText;
  std::string passwordText;
  std::string inputPath;
  std::string outputPath;
  RecordingWindow window;
  jobs::RunningFlag running{0};
};

}  // namespace test
