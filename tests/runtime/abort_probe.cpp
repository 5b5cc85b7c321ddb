// Ends through the runtime's abort path so that a test can read the abort
// message and the exit code.
// Usage: abort_probe MODULE FUNCTION OPERATION [ARGUMENT...], "-" naming none
//   raise NUMBER LINE [MODULE] | index I | offset O | retry | continue |
//   resume FIRST SECOND (a handled error, then two of retry or continue) |
//   note TEXT NUMBER LINE (TEXT kept to follow the message, then raise)
// Exits with 100 when the operation did not abort.
#include <cstdlib>
#include <string_view>

#include "runtime/lifecycle.h"
#include "runtime/runtime_error.h"

namespace {

using namespace lumetra;

void resume_target() {}

const char* name_or_none(const char* name) { return std::string_view(name) == "-" ? nullptr : name; }

void run(std::string_view operation, char** arguments) {
  const auto number = [&](int i) { return static_cast<std::int32_t>(std::strtol(arguments[i], nullptr, 10)); };
  if (operation == "raise") {
    // Without a MODULE argument arguments[2] is the null that ends argv.
    (void)raise_runtime_error(number(0), number(1), arguments[2], nullptr, nullptr);
  } else if (operation == "note") {
    keep_abort_note(arguments[0]);
    run("raise", arguments + 1);
  } else if (operation == "index") {
    (void)check_index(number(0), 1, 4, 33, "lumetra");
  } else if (operation == "offset") {
    (void)check_offset(static_cast<std::uint32_t>(number(0)), 10, 40, "lumetra");
  } else if (operation == "retry") {
    (void)take_retry_target();
  } else if (operation == "continue") {
    (void)take_continue_target();
  } else if (operation == "resume") {
    (void)set_error_handler(resume_target);
    (void)raise_runtime_error(3, 20, nullptr, resume_target, resume_target);
    run(arguments[0], nullptr);
    run(arguments[1], nullptr);  // the first resume cleared both targets
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 101;
  run_global_initialisation();  // registers the exit step that writes the message
  (void)set_error_module(name_or_none(argv[1]));
  (void)set_error_function(name_or_none(argv[2]));
  run(argv[3], argv + 4);
  return 100;
}
