// Terminal host on a real pseudo-terminal: start-up query, raw input, the
// interrupt key, hang-up, size changes and the restore at exit (through
// tty_host_probe).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <string_view>

namespace {

constexpr int timeout_ms = 5000;

// The probe on a 40 × 10 pseudo-terminal; its standard error comes through
// a pipe. The test keeps a descriptor of the terminal to read its mode.
class ProbeOnTerminal {
 public:
  explicit ProbeOnTerminal(const char* argument = "", const char* term = "xterm") {
    winsize size{};
    size.ws_col = 40;
    size.ws_row = 10;
    int errors[2];
    if (openpty(&master_, &slave_, nullptr, nullptr, &size) != 0 || pipe(errors) != 0) return;
    tcgetattr(slave_, &initial_mode_);
    pid_ = fork();
    if (pid_ == 0) run_child(errors, argument, term);
    close(errors[1]);
    errors_ = errors[0];
  }
  ~ProbeOnTerminal() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    for (const int fd : {master_, slave_, errors_}) {
      if (fd >= 0) close(fd);
    }
  }
  ProbeOnTerminal(const ProbeOnTerminal&) = delete;
  ProbeOnTerminal& operator=(const ProbeOnTerminal&) = delete;

  // Answers the start-up cursor query and waits until the probe has reported
  // the console.
  bool start(std::string_view answer = "\x1b[1;1R") {
    if (!await_output("\x1b[6n")) return false;
    type(answer);
    return await_report("console");
  }
  // Reads the terminal's output until it holds needle; true when it came.
  bool await_output(std::string_view needle, int limit_ms = timeout_ms) {
    return await(master_, screen_, needle, limit_ms);
  }
  // Reads standard error until it holds line.
  bool await_report(std::string_view line, int limit_ms = timeout_ms) {
    return await(errors_, reports_, line, limit_ms);
  }
  void type(std::string_view bytes) { ASSERT_EQ(write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
  void resize(int columns, int rows) {
    winsize size{};
    size.ws_col = static_cast<unsigned short>(columns);
    size.ws_row = static_cast<unsigned short>(rows);
    ioctl(master_, TIOCSWINSZ, &size);  // the terminal sends SIGWINCH
  }
  void hang_up() {
    close(master_);
    master_ = -1;
  }
  int wait_status() {
    int status = 0;
    waitpid(pid_, &status, 0);
    exited_ = true;
    return status;
  }
  [[nodiscard]] const std::string& output() const { return screen_; }
  [[nodiscard]] const std::string& reports() const { return reports_; }
  [[nodiscard]] termios mode() const {
    termios mode{};
    tcgetattr(slave_, &mode);
    return mode;
  }
  [[nodiscard]] const termios& initial_mode() const { return initial_mode_; }

 private:
  [[noreturn]] void run_child(const int errors[2], const char* argument, const char* term) {
    close(master_);
    close(errors[0]);
    setsid();
    ioctl(slave_, TIOCSCTTY, 0);
    dup2(slave_, STDIN_FILENO);
    dup2(slave_, STDOUT_FILENO);
    dup2(errors[1], STDERR_FILENO);
    setenv("TERM", term, 1);
    setenv("LANG", "C.UTF-8", 1);
    setenv("LC_ALL", "C.UTF-8", 1);
    const char* probe = LUMETRA_PROBE_DIR "/tty_host_probe";
    execl(probe, probe, argument, static_cast<char*>(nullptr));
    _exit(127);
  }

  static bool await(int fd, std::string& seen, std::string_view needle, int limit_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    while (seen.find(needle) == std::string::npos) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd poll_fd{fd, POLLIN, 0};
      if (left.count() <= 0 || poll(&poll_fd, 1, static_cast<int>(left.count())) <= 0) return false;
      char bytes[1024];
      const ssize_t n = read(fd, bytes, sizeof bytes);
      if (n <= 0) return false;
      seen.append(bytes, static_cast<std::size_t>(n));
    }
    return true;
  }

  int master_ = -1;
  int slave_ = -1;
  int errors_ = -1;
  pid_t pid_ = -1;
  bool exited_ = false;
  termios initial_mode_{};
  std::string screen_;
  std::string reports_;
};

TEST(TtyHost, StartsAtTheReportedCursorAndRestoresTheTerminalAtExit) {
  ProbeOnTerminal probe;
  ASSERT_TRUE(probe.await_output("\x1b[6n"));
  const termios raw = probe.mode();
  EXPECT_EQ(raw.c_lflag & (ICANON | ECHO), 0u);
  EXPECT_NE(raw.c_lflag & ISIG, 0u);
  EXPECT_EQ(raw.c_cc[VSUSP], _POSIX_VDISABLE);
  probe.type("\x1b[3;5R");
  ASSERT_TRUE(probe.await_report("console 40 10 4 2\n")) << probe.reports();
  // Yellow on blue ä where the terminal's cursor already is, then the cursor hidden.
  ASSERT_TRUE(probe.await_output("\x1b[0;93;44m\xC3\xA4")) << probe.output();
  EXPECT_EQ(probe.output().find("H\x1b[0;93"), std::string::npos);
  ASSERT_TRUE(probe.await_output("\x1b[?25l"));
  EXPECT_EQ(probe.output().find("\x1b[2J"), std::string::npos);
  probe.type("xq");
  ASSERT_TRUE(probe.await_report("key 78\nkey 71\n")) << probe.reports();
  const int status = probe.wait_status();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  ASSERT_TRUE(probe.await_output("\x1b[0m\x1b[?25h"));
  EXPECT_EQ(probe.mode().c_lflag, probe.initial_mode().c_lflag);
  EXPECT_EQ(probe.mode().c_iflag, probe.initial_mode().c_iflag);
}

TEST(TtyHost, WithoutAnAnswerClearsTheScreenAndStartsAtTheTop) {
  ProbeOnTerminal probe;
  ASSERT_TRUE(probe.await_output("\x1b[6n"));
  ASSERT_TRUE(probe.await_report("console 40 10 0 0\n")) << probe.reports();
  EXPECT_TRUE(probe.await_output("\x1b[H\x1b[2J"));
  probe.type("q");
  EXPECT_TRUE(WIFEXITED(probe.wait_status()));
}

TEST(TtyHost, KeysTypedBeforeTheAnswerAreKept) {
  ProbeOnTerminal probe;
  ASSERT_TRUE(probe.await_output("\x1b[6n"));
  probe.type("ab\x1b[1;1R");
  ASSERT_TRUE(probe.await_report("console 40 10 0 0\n"));
  probe.type("q");
  ASSERT_TRUE(probe.await_report("key 61\nkey 62\nkey 71\n")) << probe.reports();
  EXPECT_TRUE(WIFEXITED(probe.wait_status()));
}

TEST(TtyHost, CtrlCInterruptsExactlyWithProcessedInput) {
  {
    ProbeOnTerminal probe;
    ASSERT_TRUE(probe.start());
    probe.type("\x03");
    const int status = probe.wait_status();
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGINT);
  }
  ProbeOnTerminal probe("unprocessed");
  ASSERT_TRUE(probe.start());
  EXPECT_EQ(probe.mode().c_lflag & ISIG, 0u);
  probe.type("\x03\x1cq");  // Ctrl+C and Ctrl+\ are keys
  ASSERT_TRUE(probe.await_report("key 03\nkey 1C\nkey 71\n")) << probe.reports();
  EXPECT_TRUE(WIFEXITED(probe.wait_status()));
}

TEST(TtyHost, HangUpRunsTheCloseHandlerAndEndsAsOnTermination) {
  ProbeOnTerminal probe;
  ASSERT_TRUE(probe.start());
  probe.hang_up();
  ASSERT_TRUE(probe.await_report("close\n")) << probe.reports();
  const int status = probe.wait_status();
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
  EXPECT_EQ(probe.reports().find("close\nclose"), std::string::npos);
}

// A smaller terminal shows the part of the console that holds the cursor;
// the console itself keeps its size and everything in it.
TEST(TtyHost, SizeChangeKeepsTheBufferAndRepaintsTheViewAroundTheCursor) {
  ProbeOnTerminal probe;
  ASSERT_TRUE(probe.await_output("\x1b[6n"));
  probe.type("\x1b[8;30R");
  ASSERT_TRUE(probe.await_report("console 40 10 29 7\n")) << probe.reports();
  ASSERT_TRUE(probe.await_output("\x1b[?25l"));
  probe.resize(20, 5);
  // The size is taken at the next call once the control thread has the signal.
  const std::size_t before = probe.output().size();
  bool repainted = false;
  for (int attempt = 0; attempt < 25 && !repainted; ++attempt) {
    probe.type("i");
    repainted = probe.await_output("\x1b[0m\x1b[H\x1b[2J", 200);
  }
  ASSERT_TRUE(repainted) << probe.output();
  ASSERT_TRUE(probe.await_report("console 40 10 29 7\n")) << probe.reports();
  // Rows 3 to 7 and columns 19 to 38: the yellow-on-blue cell (29, 7) on the
  // view's last row, the cursor on it.
  const std::string repaint = probe.output().substr(before);
  EXPECT_NE(repaint.find("\x1b[5;1H"), std::string::npos) << repaint;
  EXPECT_NE(repaint.find("\x1b[0;93;44m\xC3\xA4"), std::string::npos) << repaint;
  EXPECT_EQ(repaint.find("\x1b[6;"), std::string::npos) << repaint;
  EXPECT_TRUE(probe.await_output("\x1b[5;11H"));
  probe.type("q");
  EXPECT_TRUE(WIFEXITED(probe.wait_status()));
}

TEST(TtyHost, LinuxConsoleHasTheBellPitchAndLengthWhileItRunsAndTheDefaultsAfterwards) {
  ProbeOnTerminal probe("", "linux");
  ASSERT_TRUE(probe.await_output("\x1b[10;1000]\x1b[11;250]"));
  ASSERT_TRUE(probe.start());
  probe.type("q");
  EXPECT_TRUE(WIFEXITED(probe.wait_status()));
  // Without a parameter the Linux console takes its defaults (750 Hz, 125 ms).
  EXPECT_TRUE(probe.await_output("\x1b[10]\x1b[11]")) << probe.output();
}

TEST(TtyHost, DumbTerminalIsNoConsole) {
  ProbeOnTerminal probe("", "dumb");
  ASSERT_TRUE(probe.await_report("no console\n"));
  const int status = probe.wait_status();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
