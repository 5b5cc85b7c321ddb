// The converter's main flow.
#include "converter/converter_main.h"

#include <cstdlib>

namespace lumetra {

void ConverterMain(int, char**) { std::exit(0); }

}  // namespace lumetra
