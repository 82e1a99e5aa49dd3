// The digit check and the formula parser: the worked formulas, and the
// formulas that stop the run with a message; and the mixes that do.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "composite/composite_structure.hpp"
#include "tests/unit/test_data.hpp"

namespace xrd {
namespace {

TCompositeStructure Composite(const std::string& formula) {
  return TCompositeStructure(1, 2, 3, 4, 5, 6, 1.5, 0, 0, 4, 0, formula, 1);
}

// A formula has digits where any of its bytes is one (a NUL byte does not
// end it); a formula with digits splits into its components, their weights,
// the component without one and the weights' total, the same when parsed
// again, for up to ten components.
TEST(ParseFormula, WorkedFormulas) {
  EXPECT_EQ(Composite("GaAs").HasDigits, 0);
  EXPECT_EQ(Composite("x9").HasDigits, 1);
  EXPECT_EQ(Composite(std::string("Ga\0" "7", 4)).HasDigits, 1);
  const struct {
    const char* formula;
    std::vector<std::pair<std::string, std::string>> components;
    int digitless_index, component_count, digits_total;
  } cases[] = {
      {"Ga7In3As", {{"Ga", "7"}, {"In", "3"}, {"As", ""}}, 2, 2, 10},
      {"Cd1Hg9Te", {{"Cd", "1"}, {"Hg", "9"}, {"Te", ""}}, 2, 2, 10},
      {"In53Ga47As", {{"In", "53"}, {"Ga", "47"}, {"As", ""}}, 2, 2, 100},
      {"Ga07In3As", {{"Ga", "07"}, {"In", "3"}, {"As", ""}}, 2, 2, 10},
      {"Ga1In9", {{"Ga", "1"}, {"In", "9"}}, 11, 2, 10},  // a last digit 9 is no partner
      {"Ga7In3As2", {{"Ga", "7"}, {"In", "3"}, {"As", "2"}}, 11, 3, 12},
      {"Si2", {{"Si", "2"}}, 11, 1, 2},
      {"Ga1In1C", {{"Ga", "1"}, {"In", "1"}, {"C", ""}}, 2, 2, 2},
      {"Ga1In1:", {{"Ga", "1"}, {"In", "1:"}}, 1, 1, 1},  // a last character above '9' makes a partner
      {"Ga\xc3\xa9" "1In1", {{"Ga\xc3\xa9", "1"}, {"In", "1"}}, 11, 2, 2},  // bytes from 128 on are not letters
      {"A1B1C1D1E1F1G1H1I1J1", {{"A", "1"}, {"B", "1"}}, 11, 10, 10},  // ten components are fine
  };
  for (const auto& p : cases) {
    SCOPED_TRACE(p.formula);
    TCompositeStructure c = Composite(p.formula);
    ASSERT_EQ(c.HasDigits, 1);
    c.ParseFormula();
    for (std::size_t i = 0; i < p.components.size(); ++i) {
      EXPECT_EQ(std::pair(c.Components[i].Name, c.Components[i].Digits), p.components[i]) << i;
    }
    EXPECT_EQ((std::array{c.DigitlessIndex, c.ComponentCount, c.DigitsTotal, c.Parsed}),
              (std::array{p.digitless_index, p.component_count, p.digits_total, 1}));
    c.ParseFormula();  // a repeated parse gives the same
    EXPECT_EQ((std::array{c.ComponentCount, c.DigitsTotal}), (std::array{p.component_count, p.digits_total}));
  }
}

// Each unusable formula stops the parse with its message and leaves the
// structure unparsed.
TEST(ParseFormula, UnusableFormulasStopWithAMessage) {
  const struct { const char* formula; const char* message; } cases[] = {
      {"Ga7xIn3As", "formula \"Ga7xIn3As\": weight of component \"Ga\": \"7x\" is not a whole number"},
      {"Ga0.7In0.3As",
       "formula \"Ga0.7In0.3As\": weight of component \"Ga\": \"0.7\" is not a whole number; a formula's weights "
       "are whole numbers (Ga7In3As is 0.7 GaAs and 0.3 InAs), real fractions are for the library and the Python "
       "module"},
      {"Ga7In3As ", "formula \"Ga7In3As \": weight of component \"As \": the weight is empty"},
      {"GaIn3As", "formula \"GaIn3As\": weight of component \"Ga\": the weight is empty"},
      {"Ga1 In3 As", "formula \"Ga1 In3 As\": weight of component \"Ga\": \"1 \" is not a whole number"},
      // Shown as they are from ' ' to '~', escaped below and from DEL on.
      {"Ga1~\x7fIn3As", "formula \"Ga1~\\x7FIn3As\": weight of component \"Ga\": \"1~\\x7F\" is not a whole number"},
      // A last byte from 128 on is negative as a signed code: no partner.
      {"Ga1In1\xe9", "formula \"Ga1In1\\xE9\": weight of component \"In\": \"1\\xE9\" is not a whole number"},
      {"Ga2147483648In1As",
       "formula \"Ga2147483648In1As\": weight of component \"Ga\": \"2147483648\" is out of range"},
      {"Ga00000000000000000042In99999999999999999999As",
       "formula \"Ga00000000000000000042In99999999999999999999As\": weight of component \"In\": "
       "\"99999999999999999999\" is out of range"},
      {"Ga2147483647In1As", "formula \"Ga2147483647In1As\": the weights add up to more than 2147483647"},
      {"Ga0In00As", "formula \"Ga0In00As\": the weights add up to 0"},
      {"7GaAs", "formula \"7GaAs\": a formula with digits begins with an upper-case letter, not \"7\""},
      {"gA1", "formula \"gA1\": a formula with digits begins with an upper-case letter, not \"g\""},
      {"A1B1C1D1E1F1G1H1I1J1K1", "formula \"A1B1C1D1E1F1G1H1I1J1K1\": more than 10 components"},
  };
  for (const auto& c : cases) {
    TCompositeStructure composite = Composite(c.formula);
    EXPECT_EQ(testing::ErrorOf([&] { composite.ParseFormula(); }), c.message);
    EXPECT_EQ(composite.Parsed, 0) << c.formula;
  }
}

// A mix takes one to ten components of finite weights from 0 on whose total
// is above 0 and finite; any other stops with its message, unparsed.
TEST(SetMix, RefusesWeightsThatMakeNoMix) {
  const std::vector<MixComponent> eleven(11, MixComponent{"GaAs", 1});
  const struct { std::vector<MixComponent> mix; const char* message; } cases[] = {
      {{}, "the mix has no components"},
      {eleven, "the mix has 11 components; at most 10"},
      {{{"GaAs", 1}, {"InAs", -0.5}}, "the weight of \"InAs\" in the mix is -0.5; weights are finite numbers from 0 on"},
      {{{"GaAs", std::nan("")}}, "the weight of \"GaAs\" in the mix is +NAN; weights are finite numbers from 0 on"},
      {{{"GaAs", INFINITY}}, "the weight of \"GaAs\" in the mix is +INF; weights are finite numbers from 0 on"},
      {{{"GaAs", 0}, {"InAs", -0.0}}, "the weights of the mix add up to 0"},
      {{{"GaAs", 1e308}, {"InAs", 1e308}}, "the weights of the mix add up to more than the largest number"},
  };
  for (const auto& c : cases) {
    TCompositeStructure composite = Composite("");
    EXPECT_EQ(testing::ErrorOf([&] { composite.SetMix(c.mix); }), c.message);
    EXPECT_EQ(composite.Parsed, 0) << c.message;
  }
  TCompositeStructure ten = Composite("");
  ten.SetMix(std::vector<MixComponent>(10, MixComponent{"GaAs", 0.25}));
  EXPECT_EQ((std::array{ten.ComponentCount, ten.Parsed}), (std::array{10, 1}));
  EXPECT_EQ(ten.WeightTotal, 2.5);
}

}  // namespace
}  // namespace xrd
