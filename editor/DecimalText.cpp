#include "editor/DecimalText.h"
// STUB: replaced by the editor work.
std::string ShortestDecimalText(long double) { return "0"; }
std::optional<long double> EvaluateDecimalText(std::string_view) { return std::nullopt; }
