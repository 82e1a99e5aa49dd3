// input.dat as a text: the exact scanning of a run description.
#include <algorithm>

#include "driver/run_computation.hpp"
#include "driver/run_files.hpp"
#include "runtime/character_class.hpp"
#include "runtime/printable.hpp"
#include "runtime/text_scanner.hpp"
#include "xrdcalc/error.hpp"
#include "xrdcalc/run_input.hpp"

namespace xrd {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr const char* kValueNamesInInput[] = {
    "lattice constant a", "lattice constant b", "lattice constant c", "the fourth value", "the fifth value",
    "the sixth value",    "the wavelength",     "the index h",        "the index k",      "the index l",
    "the Bragg angle"};

// A short view of the text where scanning stopped, for messages.
std::string TextNear(std::string_view rest) {
  if (rest.empty()) return "the end of the file";
  std::string_view shown = rest.substr(0, std::min<std::size_t>(rest.find('\n'), 20));
  std::string near = "\"";
  near.append(shown);
  near += '"';
  return near;
}

[[noreturn]] void Stop(const std::string& problem) { throw Error(std::string(kInputFileName) + ": " + problem); }

}  // namespace

RunInput ParseRunInput(std::string_view text, std::vector<std::string>* warnings) {
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  RunInput run;
  TextScanner scanner(text);
  const int scanned = scanner.Scan("%lf%lf%lf\n%lf%lf%lf\n%lf\n%lf%lf%lf\n%lf\n", &run.a, &run.b, &run.c, &run.value4,
                                   &run.value5, &run.value6, &run.lambda_angstrom, &run.h, &run.k, &run.l,
                                   &run.theta_degrees);
  if (scanned < 11) {
    const int missing = scanned < 0 ? 0 : scanned;
    Stop(std::string(kValueNamesInInput[missing]) + " (number " + std::to_string(missing + 1) +
         " of 11) is missing or malformed near " + TextNear(scanner.rest()));
  }
  const std::size_t formula_start = scanner.position();
  if (!scanner.SkipPast('\n')) Stop("the file ends before the line feed that ends the formula line");
  run.formula.assign(text.substr(formula_start, scanner.position() - 1 - formula_start));
  if (scanner.Scan("%lf", &run.scale) != 1) {
    Stop("the scale after the formula line is missing or malformed near " + TextNear(scanner.rest()));
  }
  if (const std::string problem = RunInputProblem(run); !problem.empty()) Stop(problem);
  const std::string_view rest = scanner.rest();
  const std::size_t extra = rest.find_first_not_of(kScanSpaces);
  if (extra != std::string_view::npos && warnings) {
    const std::string_view ignored = rest.substr(extra, rest.find_last_not_of(kScanSpaces) + 1 - extra);
    warnings->push_back(std::string(kInputFileName) + ": text after the scale is ignored: " + Quote(ignored));
  }
  return run;
}

}  // namespace xrd
