// The six sums that an element and a structure hold and hand out, always
// in this order: f1 and f2 summed over the sites, and the real and
// imaginary parts of F(-h,-k,-l) and of F(h,k,l), in electrons.
#pragma once

namespace xrd {

struct StructureFactorSums {
  double SumF1 = 0.0;
  double SumF2 = 0.0;
  double ReFMinus = 0.0;
  double ImFMinus = 0.0;
  double ReFPlus = 0.0;
  double ImFPlus = 0.0;

  // Adds each of `other`'s six to the same one of these.
  void Add(const StructureFactorSums& other) {
    SumF1 += other.SumF1;
    SumF2 += other.SumF2;
    ReFMinus += other.ReFMinus;
    ImFMinus += other.ImFMinus;
    ReFPlus += other.ReFPlus;
    ImFPlus += other.ImFPlus;
  }

  // Writes the six, in their order, through the six pointers.
  void CopyTo(double* sum_f1, double* sum_f2, double* re_f_minus, double* im_f_minus, double* re_f_plus,
              double* im_f_plus) const {
    *sum_f1 = SumF1;
    *sum_f2 = SumF2;
    *re_f_minus = ReFMinus;
    *im_f_minus = ImFMinus;
    *re_f_plus = ReFPlus;
    *im_f_plus = ImFPlus;
  }
};

}  // namespace xrd
