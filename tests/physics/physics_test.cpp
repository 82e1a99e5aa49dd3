// xrdcalc against independent libraries (tools/make_physics_reference.py
// and tools/make_cell_reference.py recorded the .csv files here): xraylib
// below 30 keV and at 40-200 keV, xraydb's Chantler values across the GaAs
// K edges, xrayutilities' non-cubic crystals; and clean runs of every crystal.
// Chantler's f1 and xraylib's differ by up to 0.2 %, their f2 by more
// (other photoionisation cross sections): hence the tolerances of f1 and f2.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "xrdcalc/calculator.hpp"

namespace {

// The rows of a reference table beside this test, fields split at commas.
std::vector<std::vector<std::string>> ReadTable(const char* file_name) {
  std::ifstream in(std::string(PHYSICS_DATA_DIR) + "/" + file_name);
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string field; std::getline(split, field, ',');) fields.push_back(field);
    rows.push_back(fields);
  }
  return rows;
}

double Number(const std::string& text) { return std::stod(text); }

double Relative(double ours, double reference) { return (ours - reference) / reference; }

const xrd::Calculator& Shipped() {
  static const xrd::Calculator calculator(SHIPPED_BASE);
  return calculator;
}

// One run with lattice 0 0 0 and the Bragg angle derived, on the shipped data.
xrd::Result Compute(const std::string& formula, double lambda, double h, double k, double l) {
  return Shipped().compute({.lambda_angstrom = lambda, .h = h, .k = k, .l = l, .formula = formula});
}

void ExpectClean(const xrd::Result& r, const std::string& what) {
  EXPECT_TRUE(r.warnings.empty()) << what << ": " << r.warnings.front();
  EXPECT_TRUE(r.math_errors.empty()) << what;
  for (double value : r.values()) EXPECT_TRUE(std::isfinite(value)) << what;
}

TEST(Physics, AgreesWithXraylibBelow30keV) {
  const auto rows = ReadTable("xraylib_reference.csv");
  ASSERT_EQ(rows.size(), 17u);
  for (const auto& row : rows) {
    const std::string& name = row[0];
    const double lambda = Number(row[1]), h = Number(row[2]), k = Number(row[3]), l = Number(row[4]);
    SCOPED_TRACE(name + " " + row[2] + row[3] + row[4] + " at " + row[1] + " A");
    const xrd::Result r = Compute(name, lambda, h, k, l);
    ExpectClean(r, name);
    ASSERT_EQ(r.a, Number(row[5])) << name << ".stf changed: rerun tools/make_physics_reference.py";
    // Our lattice constants agree with xraylib's crystal table within 2e-4,
    // but for InAs: xraylib has 6.036 A, Base/ the room-temperature 6.0583 A
    // (Vurgaftman, Meyer and Ram-Mohan 2001); the references use ours.
    if (name != "InAs") {
      EXPECT_NEAR(Relative(r.a, Number(row[6])), 0.0, 2e-4);
    }
    EXPECT_NEAR(r.bragg_angle_deg(), Number(row[8]), 0.01);
    EXPECT_NEAR(r.polarisation_factor(), std::abs(std::cos(Number(row[8]) * 3.141592653589793 / 90)), 1e-3);
    EXPECT_NEAR(Relative(std::abs(r.f_plus), Number(row[10])), 0.0, 0.005);
    // Without a centre of symmetry (zincblende 111) |F(hkl)| and |F(-h-k-l)|
    // differ through f2: this checks the sign of the phase too.
    EXPECT_NEAR(Relative(std::abs(r.f_minus), Number(row[11])), 0.0, 0.005);
    EXPECT_NEAR(Relative(r.sum_f1, Number(row[12])), 0.0, 0.005);
    EXPECT_NEAR(Relative(r.sum_f2, Number(row[13])), 0.0, 0.05);
  }
}

TEST(Physics, AgreesWithXraylibAt40To200keVAwayFromEdges) {
  const auto rows = ReadTable("high_energy_reference.csv");
  ASSERT_GE(rows.size(), 200u);
  for (const auto& row : rows) {
    SCOPED_TRACE(row[0] + " at " + row[1] + " keV");
    const xrd::Result r = Compute(row[0], 12.398100046 / Number(row[1]), 0, 0, 0);
    ExpectClean(r, row[0]);
    EXPECT_GT(r.sum_f2, 0.0);
    EXPECT_NEAR(Relative(r.sum_f1, Number(row[2])), 0.0, 0.01);
    EXPECT_NEAR(Relative(r.sum_f2, Number(row[3])), 0.0, 0.15);
  }
}

// Crystals that are not cubic against xrayutilities' crystals built from
// their space groups with the same lattice constants and internal
// parameters, no Debye-Waller factor: Bragg angle within 0.001 degrees,
// chi0 within 0.5 %, |chi_h| (sigma) within 1 %. xrayutilities gives
// |chi_h| as the root mean square of the Friedel pair, which differ in the
// polar wurtzites and SiC; so is it compared.
TEST(Physics, NonCubicCellsAgreeWithXrayutilities) {
  const auto rows = ReadTable("cell_reference.csv");
  ASSERT_GE(rows.size(), 26u);
  for (const auto& row : rows) {
    const double h = Number(row[2]), k = Number(row[3]), l = Number(row[4]);
    SCOPED_TRACE(row[0] + " " + row[2] + " " + row[3] + " " + row[4] + " at " + row[1] + " eV");
    const xrd::Result r = Compute(row[0], 12398.100046 / Number(row[1]), h, k, l);
    ExpectClean(r, row[0]);
    const std::vector<double> cell = {r.a, r.b, r.c, r.alpha, r.beta, r.gamma};
    for (int i = 0; i < 6; ++i) {
      ASSERT_EQ(cell[i], Number(row[5 + i])) << row[0] << ".stf changed: rerun tools/make_cell_reference.py";
    }
    EXPECT_NEAR(r.bragg_angle_deg(), Number(row[11]), 0.001);
    const std::complex<double> chi0(Number(row[12]), Number(row[13]));
    EXPECT_LT(std::abs(r.chi0() - chi0) / std::abs(chi0), 0.005);
    const double friedel_rms = std::sqrt((std::norm(r.chi_plus) + std::norm(r.chi_minus)) / 2);
    EXPECT_NEAR(friedel_rms / Number(row[14]), 1.0, 0.01);
  }
}

TEST(Physics, GaAsAcrossTheGaAndAsKEdges) {
  const auto rows = ReadTable("edge_scan_reference.csv");
  ASSERT_EQ(rows.size(), 82u);
  auto sums_at = [](double energy_ev) { return Compute("GaAs", 12398.100046 / energy_ev, 0, 0, 0); };
  for (const auto& row : rows) {
    SCOPED_TRACE(row[0] + " K edge scan at " + row[1] + " eV");
    const xrd::Result r = sums_at(Number(row[1]));
    ExpectClean(r, "GaAs");
    EXPECT_NEAR(r.sum_f1, Number(row[2]), 2.0);
  }
  // f'' steps up at the tabulated edge (the middle row of each scan): by
  // about 2.8 electrons per Ga atom and 3.1 per As atom, 4 atoms each.
  for (const auto& edge : {rows[20], rows[61]}) {
    const double e = Number(edge[1]);
    EXPECT_GT(sums_at(e + 5).sum_f2 - sums_at(e - 5).sum_f2, 8.0) << edge[0] << " K edge at " << e << " eV";
    EXPECT_LT(sums_at(e - 5).sum_f2 - sums_at(e - 15).sum_f2, 1.0) << edge[0];
  }
}

// Each alloy (the examples' among them) also as a mix with real weights,
// which gives the formula's numbers to the last bit.
TEST(Physics, EveryCrystalAndAlloyRunsCleanlyAtCuKAlpha1) {
  const std::pair<std::string, std::vector<xrd::MixComponent>> alloys[] = {
      {"Ga7In3As", {{"GaAs", 7}, {"InAs", 3}}}, {"In53Ga47As", {{"InAs", 53}, {"GaAs", 47}}},
      {"Al3Ga7As", {{"AlAs", 3}, {"GaAs", 7}}}, {"Ga1In1P", {{"GaP", 1}, {"InP", 1}}},
      {"Cd1Hg4Te", {{"CdTe", 1}, {"HgTe", 4}}}, {"Zn1Cd1Se", {{"ZnSe", 1}, {"CdSe", 1}}},
      {"Si8Ge2", {{"Si", 8}, {"Ge", 2}}}};
  std::vector<std::string> formulas = Shipped().structures();
  ASSERT_GE(formulas.size(), 43u);
  for (const auto& alloy : alloys) formulas.push_back(alloy.first);
  const double lambda = 1.5405929;
  for (const std::string& formula : formulas) {
    // 004 where it can be reached (sin theta = 2 lambda / a <= 1); else 002
    // (bcc Fe, a = 2.8664 A, whose 004 would need sin theta = 1.075).
    const double l = 2 * lambda / Compute(formula, lambda, 0, 0, 0).a <= 1.0 ? 4 : 2;
    const xrd::Result r = Compute(formula, lambda, 0, 0, l);
    ExpectClean(r, formula);
    EXPECT_GT(r.sum_f1, 0.0) << formula;
    EXPECT_GT(r.sum_f2, 0.0) << formula;
  }
  for (const auto& [formula, mix] : alloys) {
    const xrd::RunInput as_mix{.lambda_angstrom = lambda, .h = 2, .k = 2, .l = 4, .mix = mix};
    EXPECT_EQ(Shipped().compute(as_mix).values(), Compute(formula, lambda, 2, 2, 4).values()) << formula;
  }
}

}  // namespace
