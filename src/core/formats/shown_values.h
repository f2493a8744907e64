// The estimated quantities as every output shows them: a value, or NaN where the estimate has
// none (no active neighbour, no annual value with one station, no error estimate), so that no
// output writes 0 for a quantity that was not estimated.
#pragma once

#include "base/types.h"

namespace zentrel {

enum class ShownQuantity { Best, StdErr, Bias, Low, High };

/// Quantity `q` of month `m` (1..12, 13 = annual value) of a result at confidence factor `k`:
/// Best and Bias and StdErr as the record holds them, Low and High from lowBound/highBound with
/// ClipValue. NaN for every quantity without an active neighbour, for the annual value where
/// hasAnnualValues is false, and for StdErr, Bias, Low and High where HasStdErr is false.
float shownValue(const VariableResult& r, ShownQuantity q, int m, float k);

/// True for the variables whose months are amounts (Prec, PET): their year is the sum of the
/// months, the others' the mean.
bool annualIsTotal(int variable);

/// The year's total of an amount from its result record (whose annual values are means of the
/// months): Best and Bias 12 times the record's, StdErr the AnnualTotalStdErr, Low and High
/// Best -/+ k of it (on the logarithmic scale for an estimate made in ratio space), within 12
/// times the annual records. NaN where the record has no such value.
float annualTotal(const EstimateResult& e, int variable, ShownQuantity q, float k);

/// shownValue with the annual value as people read it: the year's total for Prec and PET
/// (annualIsTotal), the mean of the months for the others. Tables, JSON, Python and maps show
/// this; the formats whose Average row is the mean of the months keep shownValue.
float readerValue(const VariableResult& r, ShownQuantity q, int m, float k);

/// "Annual total" for Prec and PET, "Annual" for the others: the title of month 13.
const char* annualTitle(int variable);

/// False where the result has no value at all (no active neighbour): every quantity is missing.
inline bool hasEstimate(const VariableResult& r) { return r.neighbours.ActiveCount > 0; }

}  // namespace zentrel
