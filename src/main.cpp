// Process entry: hands the command line to the converter's main flow. On
// Windows the wide entry point takes the arguments as typed and hands them
// on in UTF-8 (see system/wide_arguments.h).
#include "converter/converter_main.h"

#if defined(_WIN32)
#include "system/wide_arguments.h"

int wmain(int argc, wchar_t** argv) { lumetra::ConverterMain(argc, lumetra::utf8_arguments(argc, argv)); }
#else
int main(int argc, char** argv) { lumetra::ConverterMain(argc, argv); }
#endif
