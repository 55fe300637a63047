// SPDX-License-Identifier: GPL-3.0-or-later
// The template fuzz target under another name, for the replay test.
#define LLVMFuzzerTestOneInput TemplateFuzzOne
#include "tests/fuzz/template_fuzzer.cpp"
