// The stream's reads and writes over POSIX descriptors: non-blocking ones are
// waited for, a socket never keeps part of a line when a signal ends the
// process while it waits, and at the end the waits stop.
//
// A pipe takes a write of up to PIPE_BUF bytes whole or not at all, so a
// signal cannot cut what such a write carries. A socket takes any part of
// a write, and a signal handler that ends the process in the middle of a
// blocking send cannot know how much went out. So sends to a socket never
// block: they run with the requests held back (the signal mask) and wait for
// room in ppoll, which lets them in. A handler that then ends the process
// knows the line the send has begun, and finishes it first.
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "system/descriptors.h"
#include "system/posix/posix_internal.h"
#include "system/stream_calls.h"

namespace lumetra {
namespace {

// What is known of a descriptor: a socket; its waits stopped; made
// non-blocking by system_stop_blocking. The open file of a duplicated standard stream
// is shared with the shell and the commands after the run, which get it back
// blocking when it is closed.
constexpr std::sig_atomic_t is_socket = 1;
constexpr std::sig_atomic_t waits_stopped = 2;
constexpr std::sig_atomic_t made_non_blocking = 4;
constexpr int tracked_descriptors = 1024;
std::array<volatile std::sig_atomic_t, tracked_descriptors> states{};

bool tracked(int fd) noexcept { return fd >= 0 && fd < tracked_descriptors; }
bool has_state(int fd, std::sig_atomic_t state) noexcept { return tracked(fd) && (states[fd] & state) != 0; }
void add_state(int fd, std::sig_atomic_t state) noexcept {
  if (tracked(fd)) states[fd] = states[fd] | state;
}

bool would_wait(int error) noexcept { return error == EAGAIN || error == EWOULDBLOCK; }

// The rest of a send that waits for room with part of a line written: what a
// handler that ends the process must still send of that line.
struct CutLine {
  volatile std::sig_atomic_t fd = -1;
  const char* volatile rest = nullptr;
  volatile std::size_t size = 0;
};
CutLine waiting_send;

// Every signal but the faults, which cannot wait.
sigset_t held_signals() noexcept {
  sigset_t held;
  sigfillset(&held);
  for (const int fault : {SIGSEGV, SIGBUS, SIGILL, SIGFPE}) sigdelset(&held, fault);
  return held;
}

// A send may wait for room: always while a line is begun, until the deadline
// has come; at a line's end only while the waits have not been stopped.
bool send_may_wait(int fd, bool line_begun) noexcept {
  return !deadline_passed() && (line_begun || !has_state(fd, waits_stopped));
}

void wait_for_room(int fd, const char* rest, std::size_t size, bool line_begun, const sigset_t& allowed) noexcept {
  if (line_begun) {
    waiting_send.rest = rest;
    waiting_send.size = size;
    waiting_send.fd = fd;
  }
  pollfd room{fd, POLLOUT, 0};
  (void)::ppoll(&room, 1, nullptr, &allowed);
  waiting_send.fd = -1;
}

int send_lines(int fd, const char* bytes, std::size_t size, std::size_t& put) noexcept {
  const sigset_t held = held_signals();
  sigset_t allowed;
  pthread_sigmask(SIG_BLOCK, &held, &allowed);
  put = 0;
  int error = 0;
  while (put < size && error == 0) {
    const ssize_t sent =
        retry_on_interrupt([&] { return ::send(fd, bytes + put, size - put, MSG_DONTWAIT | MSG_NOSIGNAL); });
    if (sent >= 0) {
      put += static_cast<std::size_t>(sent);
      continue;
    }
    error = errno;
    const bool line_begun = put != 0 && bytes[put - 1] != '\n';
    if (would_wait(error) && send_may_wait(fd, line_begun)) {
      wait_for_room(fd, bytes + put, size - put, line_begun, allowed);
      error = 0;
    }
  }
  pthread_sigmask(SIG_SETMASK, &allowed, nullptr);
  return error;
}

// A handler ends the process while a send waits with a line begun: the rest
// of that line goes out first, unless the deadline comes.
void finish_cut_line(int fd) noexcept {
  if (waiting_send.fd != fd) return;
  waiting_send.fd = -1;
  const char* const rest = waiting_send.rest;
  const void* line_end = std::memchr(rest, '\n', waiting_send.size);
  const std::size_t size =
      line_end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(line_end) - rest) + 1 : waiting_send.size;
  std::size_t put = 0;
  (void)send_lines(fd, rest, size, put);
}

// Waits until a non-blocking descriptor can be read (or written) without
// waiting; false when its waits were stopped. A signal handler that returns
// ends the wait early: the caller tries again.
bool wait_until_ready(int fd, short events) noexcept {
  if (has_state(fd, waits_stopped)) return false;
  pollfd ready{fd, events, 0};
  (void)::poll(&ready, 1, -1);
  return true;
}

// A read or write, repeated when a signal interrupts it or a non-blocking
// descriptor is not ready yet; `moved` is the bytes it moved.
template <typename Call>
int transfer(int fd, short events, std::size_t& moved, Call call) noexcept {
  for (;;) {
    const ssize_t n = retry_on_interrupt(call);
    moved = n > 0 ? static_cast<std::size_t>(n) : 0;
    if (n >= 0) return 0;
    const int error = errno;
    if (!would_wait(error) || !wait_until_ready(fd, events)) return error;
  }
}

}  // namespace

void note_open_descriptor(int fd, bool socket) noexcept {
  if (tracked(fd)) states[fd] = socket ? is_socket : 0;
}

void forget_descriptor(int fd) noexcept {
  if (has_state(fd, made_non_blocking)) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1) (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);  // nothing more to do about a failure
  }
  if (tracked(fd)) states[fd] = 0;
}

int system_read(SystemFile file, void* buffer, std::size_t size, std::size_t& got) noexcept {
  return transfer(file, POLLIN, got, [&] { return ::read(file, buffer, size); });
}

int system_write(SystemFile file, const void* bytes, std::size_t size, std::size_t& put) noexcept {
  if (has_state(file, is_socket)) return send_lines(file, static_cast<const char*>(bytes), size, put);
  return transfer(file, POLLOUT, put, [&] { return ::write(file, bytes, size); });
}

std::size_t system_atomic_write_size(SystemFile file) noexcept {
  return descriptor_kind(file) == FileKind::Pipe ? PIPE_BUF : 0;
}

// A line that a signal cut while its send waited is finished first: the
// process ends after this.
void system_stop_blocking(SystemFile file) noexcept {
  finish_cut_line(file);
  add_state(file, waits_stopped);
  const int flags = ::fcntl(file, F_GETFL);
  if (flags == -1 || (flags & O_NONBLOCK) != 0 || ::fcntl(file, F_SETFL, flags | O_NONBLOCK) == -1) return;
  add_state(file, made_non_blocking);
}

}  // namespace lumetra
