// The program's standard text output and input, bound to the console through
// 128-byte buffers: every flush writes to the screen and then lets window
// messages through, so each write shows at once and the window stays alive.
#include <iostream>
#include <streambuf>

#include "klcrt.h"

namespace {

class ConsoleOutput : public std::streambuf {
 public:
  ConsoleOutput() { setp(buffer_, buffer_ + sizeof buffer_); }

 protected:
  int_type overflow(int_type c) override {
    flushBuffer();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override {
    flushBuffer();
    return 0;
  }

 private:
  void flushBuffer() {
    std::ptrdiff_t n = pptr() - pbase();
    if (n <= 0) return;
    writeText(pbase(), static_cast<size_t>(n));
    setp(buffer_, buffer_ + sizeof buffer_);
    keyPressed();
  }
  char buffer_[128];
};

class ConsoleInput : public std::streambuf {
 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    size_t n = readLine(line_);
    char *start = reinterpret_cast<char *>(line_);
    setg(start, start, start + n);
    return traits_type::to_int_type(*gptr());
  }

 private:
  uint8_t line_[CONSOLE_LINE_CAPACITY];
};

// The runtime flushes std::cout after every static object is gone, so the
// buffers it is bound to are made once and never destroyed.
ConsoleOutput &consoleOutput() {
  static ConsoleOutput *buffer = new ConsoleOutput;
  return *buffer;
}
ConsoleInput &consoleInput() {
  static ConsoleInput *buffer = new ConsoleInput;
  return *buffer;
}

}  // namespace

void bindConsoleStdio() {
  std::cout.rdbuf(&consoleOutput());
  // Every output statement flushes, as the runtime does for its text files.
  std::cout.setf(std::ios::unitbuf);
  std::cin.rdbuf(&consoleInput());
  std::cin.tie(&std::cout);
}
