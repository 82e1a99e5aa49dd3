// The xrdcalc library: include this one header.
#pragma once

#include "xrdcalc/calculator.hpp"
#include "xrdcalc/error.hpp"
#include "xrdcalc/result.hpp"
#include "xrdcalc/rocking_curve.hpp"
#include "xrdcalc/run_input.hpp"
