// Record conversion over arbitrary lines: make_record's bytes against the
// conversion made step by step from the named text and number operations.
#include <cstdint>
#include <string>
#include <string_view>

#include "converter/record_converter.h"
#include "fuzz_support.h"
#include "support/step_by_step_conversion.h"
#include "support/text_from_bytes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lumetra;
  static RecordConverter converter;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const Text line = text_of(bytes);
  const ExpectedRecord reference = convert_step_by_step(line);
  if (bytes.find(';') == std::string_view::npos) {
    fuzz_check(reference.record.empty() && reference.failed_line == 0, "a line without ';' makes nothing");
    return 0;
  }
  const RecordOutcome outcome = converter.make_record(bytes);
  fuzz_check(outcome.record == reference.record, "the record equals the step-by-step record");
  fuzz_check(outcome.failed_line == reference.failed_line, "the failing line equals the step-by-step one");
  fuzz_check((outcome.failed_line == 0) == (outcome.failed_index == 0), "a failure names its field");
  return 0;
}
