// The outcome of an operation that can fail: whether it did what was asked and, when not, why,
// in words for the operator or for standard error.
#pragma once

#include <string>
#include <utility>

struct Result {
  bool ok = false;
  std::string error;  // why it failed; empty when ok

  [[nodiscard]] static Result Success() { return {true, {}}; }
  [[nodiscard]] static Result Failure(std::string why) { return {false, std::move(why)}; }
};
