#pragma once
// Test support: what a piece of code prints to std::cout, kept instead of
// shown, for as long as the capture lives.
#include <iostream>
#include <sstream>
#include <string>

namespace tavelund::testing {

class CoutCapture {
 public:
  CoutCapture() : saved_(std::cout.rdbuf(text_.rdbuf())) {}
  ~CoutCapture() { std::cout.rdbuf(saved_); }
  CoutCapture(const CoutCapture&) = delete;
  CoutCapture& operator=(const CoutCapture&) = delete;
  std::string text() const { return text_.str(); }

 private:
  std::ostringstream text_;
  std::streambuf* saved_;
};

}  // namespace tavelund::testing
