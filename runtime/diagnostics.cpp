// Warnings and mathematical-error messages: collected per evaluation, each
// distinct warning once, printed in one write each.
#include "runtime/diagnostics.hpp"

#include <algorithm>
#include <cstdio>

namespace xrd {

namespace {

thread_local Diagnostics* current_diagnostics = nullptr;

void PrintWarning(std::string_view message) {
  std::string line = "warning: ";
  line.append(message);
  line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stderr);
}

// The C library's form: CR LF, the message, CR LF.
void PrintMathError(std::string_view message) {
  std::string text = "\r\n";
  text.append(message);
  text += "\r\n";
  std::fwrite(text.data(), 1, text.size(), stderr);
}

}  // namespace

void Diagnostics::AddWarning(std::string_view message) {
  if (std::find(warnings_.begin(), warnings_.end(), message) != warnings_.end()) return;
  order_.push_back({true, warnings_.size()});
  warnings_.emplace_back(message);
}

void Diagnostics::AddMathError(std::string_view message) {
  order_.push_back({false, math_errors_.size()});
  math_errors_.emplace_back(message);
}

void Diagnostics::Append(const Diagnostics& other) {
  for (const Entry& entry : other.order_) {
    if (entry.is_warning) {
      AddWarning(other.warnings_[entry.index]);
    } else {
      AddMathError(other.math_errors_[entry.index]);
    }
  }
}

void Diagnostics::Print() const {
  for (const Entry& entry : order_) {
    if (entry.is_warning) {
      PrintWarning(warnings_[entry.index]);
    } else {
      PrintMathError(math_errors_[entry.index]);
    }
  }
}

DiagnosticsScope::DiagnosticsScope(Diagnostics& diagnostics) : previous_(current_diagnostics) {
  current_diagnostics = &diagnostics;
}

DiagnosticsScope::~DiagnosticsScope() { current_diagnostics = previous_; }

void Warn(std::string_view message) {
  if (current_diagnostics) {
    current_diagnostics->AddWarning(message);
  } else {
    PrintWarning(message);
  }
}

void ReportMathError(std::string_view message) {
  if (current_diagnostics) {
    current_diagnostics->AddMathError(message);
  } else {
    PrintMathError(message);
  }
}

}  // namespace xrd
