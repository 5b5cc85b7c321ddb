// Process entry: hands the command line to the converter's main flow.
#include "converter/converter_main.h"

int main(int argc, char** argv) { lumetra::ConverterMain(argc, argv); }
