#pragma once

#include <cstdio>
#include <string>

#include "engine/trace.h"

namespace testing_support {

// Collects the trace lines written while it lives.
class TraceCapture {
  public:
    TraceCapture() : file_(std::tmpfile()), previous_(trace::Output()) { trace::SetOutput(file_); }
    ~TraceCapture() {
        trace::SetOutput(previous_);
        std::fclose(file_);
    }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    std::string Text() const {
        std::string text;
        std::rewind(file_);
        for (int c; (c = std::fgetc(file_)) != EOF;) text += static_cast<char>(c);
        return text;
    }

  private:
    std::FILE* file_;
    std::FILE* previous_;
};

}  // namespace testing_support
