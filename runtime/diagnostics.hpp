// Warnings about data problems that do not stop the run (one line on
// standard error beginning "warning: ") and the messages of the checked
// mathematical functions: where they go, in what order, each warning once.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace xrd {

// Collects the warnings and mathematical-error messages of one evaluation,
// in the order they arise; each distinct warning is kept once.
class Diagnostics {
 public:
  void AddWarning(std::string_view message);
  void AddMathError(std::string_view message);

  // Adds what `other` holds, in its order.
  void Append(const Diagnostics& other);

  const std::vector<std::string>& warnings() const { return warnings_; }
  const std::vector<std::string>& math_errors() const { return math_errors_; }

  // Writes everything collected to standard error, in order, as the
  // program shows it.
  void Print() const;

 private:
  struct Entry {
    bool is_warning;
    std::size_t index;
  };
  std::vector<std::string> warnings_;
  std::vector<std::string> math_errors_;
  std::vector<Entry> order_;
};

// Makes `diagnostics` the destination of Warn and of the mathematical-error
// reports on this thread while the scope lives (scopes nest).
class DiagnosticsScope {
 public:
  explicit DiagnosticsScope(Diagnostics& diagnostics);
  ~DiagnosticsScope();
  DiagnosticsScope(const DiagnosticsScope&) = delete;
  DiagnosticsScope& operator=(const DiagnosticsScope&) = delete;

 private:
  Diagnostics* previous_;
};

// A warning to this thread's diagnostics; printed at once when none is set.
void Warn(std::string_view message);

// A mathematical-error message ("asin: DOMAIN error") to this thread's
// diagnostics; printed at once, framed by CR LF, when none is set.
void ReportMathError(std::string_view message);

}  // namespace xrd
