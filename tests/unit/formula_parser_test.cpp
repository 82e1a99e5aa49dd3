// The digit check and the formula parser: the worked formulas, and the
// formulas that stop the run with a message.
#include <gtest/gtest.h>

#include "composite/composite_structure.hpp"
#include "xrdcalc/error.hpp"

namespace xrd {
namespace {

TCompositeStructure Composite(const std::string& formula) {
  return TCompositeStructure(1, 2, 3, 4, 5, 6, 1.5, 0, 0, 4, 0, formula, 1);
}

TEST(CompositeRecord, TheDigitCheck) {
  EXPECT_EQ(Composite("GaAs").HasDigits, 0);
  EXPECT_EQ(Composite("x9").HasDigits, 1);
  EXPECT_EQ(Composite(std::string("Ga\0" "7", 4)).HasDigits, 1);
}

struct Parse {
  const char* formula;
  std::vector<std::pair<std::string, std::string>> components;
  int digitless_index;
  int component_count;
  int digits_total;
};

TEST(ParseFormula, WorkedFormulas) {
  const Parse cases[] = {
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
  };
  for (const Parse& p : cases) {
    SCOPED_TRACE(p.formula);
    TCompositeStructure c = Composite(p.formula);
    ASSERT_EQ(c.HasDigits, 1);
    c.ParseFormula();
    for (std::size_t i = 0; i < p.components.size(); ++i) {
      EXPECT_EQ(c.Components[i].Name, p.components[i].first);
      EXPECT_EQ(c.Components[i].Digits, p.components[i].second);
    }
    EXPECT_EQ(c.DigitlessIndex, p.digitless_index);
    EXPECT_EQ(c.ComponentCount, p.component_count);
    EXPECT_EQ(c.DigitsTotal, p.digits_total);
    EXPECT_EQ(c.Parsed, 1);
    c.ParseFormula();  // a repeated parse gives the same
    EXPECT_EQ(c.ComponentCount, p.component_count);
    EXPECT_EQ(c.DigitsTotal, p.digits_total);
  }
}

TEST(ParseFormula, UnusableFormulasStopWithAMessage) {
  struct Case {
    const char* formula;
    const char* message;
  } cases[] = {
      {"Ga7xIn3As", "formula \"Ga7xIn3As\": weight of component \"Ga\": \"7x\" is not a whole number"},
      {"Ga0.7In0.3As", "formula \"Ga0.7In0.3As\": weight of component \"Ga\": \"0.7\" is not a whole number"},
      {"Ga7In3As ", "formula \"Ga7In3As \": weight of component \"As \": the weight is empty"},
      {"GaIn3As", "formula \"GaIn3As\": weight of component \"Ga\": the weight is empty"},
      {"Ga1 In3 As", "formula \"Ga1 In3 As\": weight of component \"Ga\": \"1 \" is not a whole number"},
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
  for (const Case& c : cases) {
    TCompositeStructure composite = Composite(c.formula);
    try {
      composite.ParseFormula();
      ADD_FAILURE() << c.formula << " parsed";
    } catch (const Error& error) {
      EXPECT_STREQ(error.what(), c.message);
    }
    EXPECT_EQ(composite.Parsed, 0) << c.formula;
  }
  // Ten components are fine.
  TCompositeStructure ten = Composite("A1B1C1D1E1F1G1H1I1J1");
  ten.ParseFormula();
  EXPECT_EQ(ten.ComponentCount, 10);
  EXPECT_EQ(ten.DigitsTotal, 10);
}

}  // namespace
}  // namespace xrd
