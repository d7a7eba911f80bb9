// The main dialog's logic with a view that records what it is told: real
// jobs on real files, a real worker thread. The test's thread is the
// dialog's: the worker waits at every call for the view until the test
// pumps, so a job can be held at any step of its bar.

#include "dialog/main_dialog_logic.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_files.h"

namespace test {
namespace {

using dialog::BoxTexts;
using dialog::MainDialogLogic;
using dialog::PathBox;
using std::chrono::milliseconds;
using Names = std::vector<std::string>;

class RecordingView final : public dialog::MainDialogView {
 public:
  void ShowTexts(const BoxTexts& texts) override { boxes = texts; }
  [[nodiscard]] BoxTexts ReadTexts() const override { return boxes; }
  void EnableStart(bool enabled) override {
    if (enabled) {  // the flag is cleared only after this
      events.emplace_back(logic->Running() ? "start, running" : "start, idle");
    }
  }
  void SetProgressRange(int /*minimum*/, int /*maximum*/) override {}
  void SetProgressPosition(int value) override { position = value; }
  void ShowFinalMessage(std::string_view text) override {
    message = text;
    events.push_back("message " + std::string(text));
  }
  void OpenPicker(PathBox /*box*/) override {}
  void OpenHelp() override { events.emplace_back("help"); }
  void OpenAbout() override { events.emplace_back("about"); }
  void SetVisible(bool value) override { visible = value; }
  void Close() override { closed = true; }
  void RequestPendingCalls() override { requested.store(true); }

  MainDialogLogic* logic = nullptr;
  BoxTexts boxes;
  int position = 0;
  std::optional<std::string> message;  // while it is open
  std::vector<std::string> events;
  bool visible = true;
  bool closed = false;
  std::atomic<bool> requested{false};
};

class DialogLogic : public testing::Test {
 protected:
  DialogLogic() { view.logic = &*logic; }

  // Carries out the worker's calls until `done` holds; false if it did not
  // within `limit`.
  bool PumpUntil(const std::function<bool()>& done,
                 milliseconds limit = std::chrono::minutes(2)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end) {
      if (view.requested.exchange(false)) {
        logic->RunPendingCalls();
      } else {
        std::this_thread::sleep_for(milliseconds(1));
      }
    }
    return done();
  }
  void Pick(PathBox box, const std::string& path) {
    logic->OnPickEnded(box, dialog::PickedFile{path, path});
  }
  std::string WaitForMessage() {
    EXPECT_TRUE(PumpUntil([this] { return view.message.has_value(); }));
    return view.message.value_or("");
  }
  void CloseMessage() {
    view.message.reset();
    logic->OnFinalMessageClosed();
    EXPECT_TRUE(PumpUntil([this] { return !logic->WorkerExists(); }));
  }
  std::string RunToMessage() {
    logic->OnStart();
    std::string text = WaitForMessage();
    CloseMessage();
    return text;
  }
  // Starts encrypting a file of eight body blocks and holds it once its
  // bar has moved. A pump may run the bar through a whole block.
  void StartLongJob() {
    WriteFile(dir / "big.bin", PatternBytes(std::size_t{1} << 21));
    Pick(PathBox::kInput, dir / "big.bin");
    Pick(PathBox::kOutput, dir / "out");
    view.boxes.password = "pass";
    logic->OnStart();
    ASSERT_TRUE(PumpUntil([this] { return view.position > 0; }));
  }

  TempDir dir;
  RecordingView view;
  std::optional<MainDialogLogic> logic{std::in_place, view};
};

TEST_F(DialogLogic, JobEndsWithMessageThenStartButtonThenFlag) {
  logic->OnStart();
  EXPECT_EQ(WaitForMessage(), "трябва да избереш входен файл");
  // The worker waits for the box to close.
  PumpUntil([] { return false; }, milliseconds(100));
  EXPECT_EQ(view.events.size(), 1U);  // the start button still off
  EXPECT_TRUE(logic->Running());
  CloseMessage();
  EXPECT_EQ(view.events,
            (Names{"message трябва да избереш входен файл", "start, running"}));
  EXPECT_FALSE(logic->Running());

  // Cancel under the open message clears the flag; a second one closes,
  // but only once the worker has ended.
  logic->OnStart();
  WaitForMessage();
  logic->OnCancel();
  EXPECT_FALSE(logic->Running());
  logic->OnCancel();
  PumpUntil([] { return false; }, milliseconds(50));
  EXPECT_FALSE(view.closed);
  EXPECT_TRUE(logic->WorkerExists());
  CloseMessage();
  EXPECT_TRUE(view.closed);
}

TEST_F(DialogLogic, EncryptsAndDecryptsAndTakesTheExtendedNameBack) {
  const std::string plain = PatternBytes(40000, 7);
  WriteFile(dir / "report.txt", plain);
  Pick(PathBox::kInput, dir / "report.txt");
  Pick(PathBox::kOutput, dir / "secret");
  view.boxes.password = "ключ42";
  EXPECT_EQ(RunToMessage(), "готово");
  // The box keeps the name it showed; the fields have the suffix.
  EXPECT_EQ(view.boxes.output, dir / "secret");
  EXPECT_EQ(logic->Fields().outputText, dir / "secret.crypt");
  EXPECT_EQ(logic->Fields().outputPath, dir / "secret.crypt");

  Pick(PathBox::kInput, dir / "secret.crypt");
  Pick(PathBox::kOutput, dir / "back");
  EXPECT_EQ(view.boxes.password, "ключ42");  // the password of the start
  EXPECT_EQ(RunToMessage(), "готово");
  EXPECT_EQ(ReadFile(dir / "back.txt"), plain);
  view.boxes.password = "ключ43";
  EXPECT_EQ(RunToMessage(), "грешна парола");
  // A cancelled pick changes no path but still refreshes the boxes.
  view.boxes.password = "typed";
  logic->OnPickEnded(PathBox::kOutput, std::nullopt);
  EXPECT_EQ(view.boxes.password, "ключ43");
  EXPECT_EQ(view.boxes.output, dir / "back");
}

TEST_F(DialogLogic, CancelDuringAJobStopsItAndAStartIsIgnored) {
  StartLongJob();
  view.boxes.password = "other";
  logic->OnStart();  // the job runs: nothing is taken from the boxes
  EXPECT_EQ(logic->Fields().passwordText, "pass");
  logic->OnCancel();
  EXPECT_FALSE(logic->Running());
  EXPECT_EQ(WaitForMessage(), "отказан процес");
  EXPECT_FALSE(view.closed);
  EXPECT_EQ(view.position, 0);
  EXPECT_EQ(dir.Names(), Names{"big.bin"});
  CloseMessage();
  EXPECT_EQ(view.events, (Names{"message отказан процес", "start, idle"}));
  logic->OnCancel();
  EXPECT_TRUE(view.closed);
}

TEST_F(DialogLogic, PickHelpAndAboutDuringAJobLeaveItAlone) {
  StartLongJob();
  Pick(PathBox::kOutput, dir / "second");
  Pick(PathBox::kInput, dir / "missing");
  EXPECT_EQ(view.boxes.output, dir / "second");
  EXPECT_EQ(view.boxes.password, "pass");
  // Help and About hide the dialog while the bar goes on.
  for (auto open : {&MainDialogLogic::OnHelp, &MainDialogLogic::OnAbout}) {
    ((*logic).*open)();
    EXPECT_FALSE(view.visible);
    // The job goes on: the bar moves, or under load it has already ended.
    const int before = view.position;
    EXPECT_TRUE(PumpUntil(
        [&] { return view.position > before || view.message.has_value(); }));
    logic->OnSideDialogClosed();
    EXPECT_TRUE(view.visible);
  }
  // On a fast machine the job may have ended while a side dialog was open.
  std::erase(view.events, "message готово");
  EXPECT_EQ(view.events, (Names{"help", "about"}));
  EXPECT_EQ(WaitForMessage(), "готово");
  CloseMessage();
  EXPECT_EQ(dir.Names(), (Names{"big.bin", "out.crypt"}));
  EXPECT_EQ(logic->Fields().outputPath, dir / "second");
  EXPECT_EQ(RunToMessage(), "входният файл не съществува");
}

TEST_F(DialogLogic, EndingUnderARunningJobCancelsAndWaits) {
  StartLongJob();
  // Under load the pump may have carried the job to its message: then it
  // has finished its output, and nothing else may be left.
  const bool finished = view.message.has_value();
  logic.reset();
  EXPECT_EQ(dir.Names(),
            (finished ? Names{"big.bin", "out.crypt"} : Names{"big.bin"}));
  EXPECT_EQ(view.message.has_value(), finished);
}

}  // namespace
}  // namespace test
