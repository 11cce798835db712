#include "link/ReportParser.h"
// STUB: replaced by the link work.
long double ReciprocalOf1023() { return 1.0L / 1023.0L; }
ParseOutcome ParseReport(std::string_view, const UnitConfiguration&, UnitEndpoint&, ReportedValues&, std::int32_t&) {
  return ParseOutcome::Ignored;
}
