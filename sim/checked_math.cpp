// The checked math path of the engine: the error tests behind checked_sqrt and its siblings.
#include "checked_math.h"

#include <cmath>

void throw_matherror() { throw static_cast<const char*>(matherror_text); }

namespace {

// errno and the floating-point flags differ between the C libraries of the two platforms, so the
// error is read off the result instead.
double checked_result(double result, bool argumentsAreNumbers, bool argumentsAreFinite) {
  if (std::isnan(result) && argumentsAreNumbers) throw_matherror();
  if (std::isinf(result) && argumentsAreFinite) throw_matherror();
  return result;
}

double checked_result(double result, double x) {
  return checked_result(result, !std::isnan(x), std::isfinite(x));
}

}  // namespace

double checked_sqrt(double x) { return checked_result(std::sqrt(x), x); }
double checked_acos(double x) { return checked_result(std::acos(x), x); }
double checked_sin(double x) { return checked_result(std::sin(x), x); }
double checked_cos(double x) { return checked_result(std::cos(x), x); }
double checked_tan(double x) { return checked_result(std::tan(x), x); }

double checked_pow(double x, double y) {
  return checked_result(std::pow(x, y), !std::isnan(x) && !std::isnan(y), std::isfinite(x) && std::isfinite(y));
}
