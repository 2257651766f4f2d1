// The one path for the roots, powers and trigonometric functions of a simulation step: a domain or
// range error raises the text exception "matherror occured" (a const char*), which ends the step.
#pragma once

// The text of the exception; thrown as a const char* pointing at this array.
inline constexpr char matherror_text[] = "matherror occured";

// Throws matherror_text.
[[noreturn]] void throw_matherror();

// Each is the <cmath> function in double precision. A domain error (a result that is not a number
// from arguments that are numbers, as sqrt(-1), acos(2) or sin(inf)) or a range error (an infinite
// result from finite arguments) throws; arguments that are not numbers give a result that is not a
// number without throwing, so callers that test for it keep their own handling.
double checked_sqrt(double x);
double checked_acos(double x);
double checked_sin(double x);
double checked_cos(double x);
double checked_tan(double x);
double checked_pow(double x, double y);
