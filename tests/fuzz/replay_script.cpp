// The script fuzz target under another name, for the replay test.
#define LLVMFuzzerTestOneInput ScriptFuzzOne
#include "tests/fuzz/script_fuzzer.cpp"
