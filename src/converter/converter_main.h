// The converter's main flow: the German dialogue, the opens, the conversion
// loop over the source's data lines, the summary and the final key wait.
#pragma once

namespace lumetra {

// Runs the whole program; every path ends the process with its exit code.
[[noreturn]] void ConverterMain(int argc, char** argv);

}  // namespace lumetra
