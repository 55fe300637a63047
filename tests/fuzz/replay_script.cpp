// SPDX-License-Identifier: GPL-3.0-or-later
// The script fuzz target under another name, for the replay test.
#define LLVMFuzzerTestOneInput ScriptFuzzOne
#include "tests/fuzz/script_fuzzer.cpp"
