#pragma once

#include "spots/SpotResult.h"

#include <QString>

#include <optional>

namespace psucal::cal {

// How a result is judged against its limits. Simple acceptance: inside the limits passes.
// Guarded acceptance with a guard band as wide as U: inside the limits shrunk by U passes, more
// than U outside them fails, and within U of a limit the verdict is conditional.
enum class DecisionRule { Simple, Guard };

// "simple" or "guard", any case; nothing for another word.
std::optional<DecisionRule> ParseDecisionRule(const QString& word);
QString DecisionRuleName(DecisionRule rule);
// The rule in a sentence, as a certificate states it.
QString DecisionRuleText(DecisionRule rule);

// `value` against [lower, upper], both ends included.
Verdict Judge(DecisionRule rule, double value, double lower, double upper, double expandedU);

} // namespace psucal::cal
