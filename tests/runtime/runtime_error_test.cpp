// Tests of the error context, raising, the index checks and the abort path
// (through a probe process that ends by it).
#include "runtime/runtime_error.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace lumetra {
namespace {

struct ProbeResult {
  std::string standard_error;
  int exit_code = -1;
};

// Runs the abort probe with the arguments, collecting its standard error.
ProbeResult run_probe(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), LUMETRA_PROBE_DIR "/abort_probe");
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDERR_FILENO);
  pid_t child = 0;
  const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_ends[1]);
  ProbeResult result;
  char chunk[512];
  for (ssize_t got; spawned == 0 && (got = read(pipe_ends[0], chunk, sizeof chunk)) > 0;) {
    result.standard_error.append(chunk, static_cast<std::size_t>(got));
  }
  close(pipe_ends[0]);
  int status = 0;
  if (spawned == 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  return result;
}

// Standard error gets the message exactly as composed: CR LF stays CR LF.
TEST(RuntimeError, AbortMessagesAndExitCodes) {
  const std::string start = "\r\nAborting due to runtime error ";
  const std::string in_main = " in lumetra::()\r\n\r\n";
  const std::string bounds = "6 (out of bounds array access) at line ";
  const std::string long_module(2000, 'm');
  struct Case {
    std::vector<std::string> arguments;  // module, function, operation, its arguments
    std::string message;
    int exit_code;
  };
  const Case cases[] = {
      {{"lumetra", "", "raise", "2", "16"}, start + "2 (file not found) at line 16 of lumetra::()\r\n\r\n", 2},
      {{"lumetra", "", "index", "5"}, start + bounds + "33 of lumetra::()\r\n\r\n", 6},
      {{"lumetra", "", "index", "0"}, start + bounds + "33 of lumetra::()\r\n\r\n", 6},
      {{"lumetra", "", "offset", "-1"}, start + bounds + "40 of lumetra::()\r\n\r\n", 6},
      {{"lumetra", "", "raise", "9", "0"}, start + "9 (\"interrupted\" signal)" + in_main, 9},
      {{"-", "-", "raise", "12", "0"}, start + "12 (\"segmentation violation\" signal)\r\n\r\n", 12},
      {{"lumetra", "", "raise", "0", "0"}, start + "0 ()" + in_main, 0},
      {{"-", "main", "raise", "3", "7"}, start + "3 (file I/O error) at line 7\r\n\r\n", 3},
      {{"lumetra", "-", "raise", "3", "7"}, start + "3 (file I/O error) at line 7 of lumetra()\r\n\r\n", 3},
      {{"lumetra", "", "raise", "1", "2", "other"},
       start + "1 (illegal function call) at line 2 of other::()\r\n\r\n",
       1},
      {{"lumetra", "", "raise", "-3", "5"}, start + "-3 at line 5 of lumetra::()\r\n\r\n", 253},
      {{"lumetra", "", "raise", "16", "-1"}, start + "16" + in_main, 16},
      {{long_module, "", "raise", "2", "16"},
       (start + "2 (file not found) at line 16 of " + long_module).substr(0, 1023),
       2},
      {{"lumetra", "", "retry"}, start + "5 (illegal resume)" + in_main, 5},
      {{"lumetra", "", "continue"}, start + "5 (illegal resume)" + in_main, 5},
      {{"lumetra", "", "resume", "retry", "continue"}, start + "5 (illegal resume)" + in_main, 5},
      {{"lumetra", "", "resume", "continue", "retry"}, start + "5 (illegal resume)" + in_main, 5},
      {{"lumetra", "", "note", "  Zeile 7\r\n", "6", "44"},
       start + bounds + "44 of lumetra::()\r\n\r\n  Zeile 7\r\n",
       6},
      {{"lumetra", "", "index", "4"}, "", 100}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.arguments).substr(0, 80));
    const ProbeResult result = run_probe(c.arguments);
    EXPECT_EQ(result.standard_error, c.message);
    EXPECT_EQ(result.exit_code, c.exit_code);
  }
}

void handler() {}
void retry() {}
void resume() {}

class RuntimeErrorHandled : public testing::Test {
 protected:
  void SetUp() override {
    reset_error_context();
    (void)set_error_module("lumetra");
    (void)set_error_function("");
    (void)set_error_handler(handler);
  }
  void TearDown() override { reset_error_context(); }
};

TEST_F(RuntimeErrorHandled, RaiseStoresAndReturnsTheHandler) {
  const char* function = error_function();
  EXPECT_EQ(raise_runtime_error(3, 12, "other", retry, resume), handler);
  EXPECT_EQ(error_number(), 3);
  EXPECT_EQ(error_line(), 12);
  EXPECT_STREQ(error_module(), "other");
  EXPECT_EQ(error_function(), function);
  EXPECT_EQ(take_retry_target(), retry);
  (void)set_error_number(4);
  EXPECT_EQ(raise_current_error(13, nullptr, retry, resume), handler);
  EXPECT_EQ(error_number(), 4);
  EXPECT_STREQ(error_module(), "other");  // kept when none is given
  EXPECT_EQ(take_continue_target(), resume);
  EXPECT_TRUE(pending_abort_message().empty());
}

TEST_F(RuntimeErrorHandled, IndexChecksAreSignedAndOffsetChecksUnsigned) {
  const std::pair<std::int32_t, bool> indexes[] = {{0, false}, {1, true}, {4, true}, {5, false}, {-1, false}};
  for (const auto& [index, passes] : indexes) {
    SCOPED_TRACE(index);
    (void)set_error_number(0);
    EXPECT_EQ(check_index(index, 1, 4, 33, "lumetra"), passes ? nullptr : handler);
    EXPECT_EQ(error_number(), passes ? 0 : 6);
  }
  EXPECT_EQ(check_offset(10, 10, 40, "lumetra"), nullptr);
  EXPECT_EQ(check_offset(static_cast<std::uint32_t>(-1), 10, 40, "lumetra"), handler);
  EXPECT_EQ(error_line(), 40);
}

}  // namespace
}  // namespace lumetra
