// The library's calculator: runs on data files read once and kept, read
// anew on reload() or where a computation stops on a file that has changed
// since it was read.
#include "xrdcalc/calculator.hpp"

#include <atomic>
#include <mutex>

#include "driver/run_computation.hpp"
#include "element/anomalous_factors.hpp"
#include "element/chemical_symbol.hpp"
#include "element/form_factor.hpp"
#include "runtime/data_files.hpp"
#include "runtime/diagnostics.hpp"

namespace xrd {

namespace {

// A computation that stops on data files out of date is done again with
// the files read anew, this many times in all.
constexpr int kAttempts = 3;

}  // namespace

// The data files read so far, one generation after another. Computations
// read the current generation without a lock; a generation stays alive
// until the calculator and its copies are gone, since a computation on
// another thread may still be using it.
class Calculator::Data {
 public:
  explicit Data(std::string directory) : directory_(std::move(directory)) { Renew(nullptr); }

  const std::string& directory() const { return directory_; }
  const DataFiles& Current() const { return *current_.load(std::memory_order_acquire); }

  // Starts a new generation, unless `stale` is no longer the current one
  // (another thread has renewed it meanwhile); nullptr renews in any case.
  void Renew(const DataFiles* stale) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stale && stale != current_.load(std::memory_order_relaxed)) return;
    generations_.push_back(std::make_unique<DataFiles>(directory_, DataFiles::Loading::Copy));
    current_.store(generations_.back().get(), std::memory_order_release);
  }

  // `evaluate(files, diagnostics)` on the current generation, with
  // `diagnostics` the thread's while it runs; where it stops on files that
  // are out of date, again on a new one.
  template <class Evaluate>
  auto OnCurrentFiles(Evaluate evaluate) {
    for (int attempt = 1;; ++attempt) {
      const DataFiles& files = Current();
      try {
        Diagnostics diagnostics;
        const DiagnosticsScope diagnostics_scope(diagnostics);
        return evaluate(files, diagnostics);
      } catch (const Error&) {
        if (attempt == kAttempts || !files.OutOfDate()) throw;
        Renew(&files);
      }
    }
  }

 private:
  std::string directory_;
  std::atomic<const DataFiles*> current_{nullptr};
  std::mutex mutex_;
  std::vector<std::unique_ptr<DataFiles>> generations_;
};

Calculator::Calculator() : Calculator(DefaultDataDirectory()) {}

Calculator::Calculator(std::string data_directory) : data_(std::make_shared<Data>(std::move(data_directory))) {}

Calculator::~Calculator() = default;

Result Calculator::compute(const RunInput& input) const {
  return data_->OnCurrentFiles([&](const DataFiles& files, Diagnostics& diagnostics) {
    Result result = ComputeRun(files, input, diagnostics, Computing::ForLibrary);
    result.warnings = diagnostics.warnings();
    result.math_errors = diagnostics.math_errors();
    return result;
  });
}

Result Calculator::compute_in_stack(const RunInput& input, std::vector<std::string>& elements) const {
  return data_->OnCurrentFiles([&](const DataFiles& files, Diagnostics& diagnostics) {
    Result result = ComputeRun(files, input, diagnostics, Computing::ForLibrary, &elements);
    result.warnings = diagnostics.warnings();
    result.math_errors = diagnostics.math_errors();
    return result;
  });
}

std::vector<std::string> Calculator::structures() const {
  std::vector<std::string> names = data_->Current().NamesEndingIn(".stf");
  for (std::string& name : names) name.resize(name.size() - 4);
  return names;
}

AnomalousFactors Calculator::anomalous_factors(std::string_view element, double energy_ev) const {
  const ChemicalSymbol symbol = ElementSymbol(element);
  return data_->OnCurrentFiles([&](const DataFiles& files, const Diagnostics& diagnostics) {
    AnomalousFactors factors;
    if (!AnomalousFactorsAt(files, symbol, energy_ev, factors.f1, factors.f2)) {  // f2 stays 0
      factors.f1 = EvaluateFormFactor(FormFactorCoefficients(files, symbol), 0.0);
    }
    factors.warnings = diagnostics.warnings();
    return factors;
  });
}

double Calculator::form_factor(std::string_view element, double s_per_angstrom) const {
  const ChemicalSymbol symbol = ElementSymbol(element);
  return data_->OnCurrentFiles([&](const DataFiles& files, const Diagnostics&) {
    return EvaluateFormFactor(FormFactorCoefficients(files, symbol), s_per_angstrom);
  });
}

void Calculator::reload() { data_->Renew(nullptr); }

const std::string& Calculator::data_directory() const { return data_->directory(); }

double PhotonEnergyOf(double lambda_angstrom) { return PhotonEnergy(lambda_angstrom); }

double WavelengthOf(double energy_ev) { return PhotonEnergy(energy_ev); }

}  // namespace xrd
