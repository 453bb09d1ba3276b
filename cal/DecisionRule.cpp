#include "cal/DecisionRule.h"

namespace psucal::cal {

namespace {
// Far below any display step or meter count: a value on a limit stays on it.
constexpr double Epsilon = 1e-9;
} // namespace

std::optional<DecisionRule> ParseDecisionRule(const QString& word)
{
    const QString w = word.trimmed().toLower();
    if (w == u"simple")
        return DecisionRule::Simple;
    if (w == u"guard")
        return DecisionRule::Guard;
    return std::nullopt;
}

QString DecisionRuleName(DecisionRule rule)
{
    return rule == DecisionRule::Guard ? QStringLiteral("guard") : QStringLiteral("simple");
}

QString DecisionRuleText(DecisionRule rule)
{
    if (rule == DecisionRule::Guard)
        return QStringLiteral("Guarded acceptance, guard band w = U: a result passes inside the limits reduced by U "
                              "on both sides and fails more than U outside them; within U of a limit it is "
                              "conditional (Pass* or Fail*) and not counted as passed. U is the expanded "
                              "uncertainty for a coverage factor k = 2 (about 95 %).");
    return QStringLiteral("Simple acceptance: a result inside the limits passes, the measurement uncertainty is "
                          "stated but not applied. U is the expanded uncertainty for a coverage factor k = 2 "
                          "(about 95 %).");
}

Verdict Judge(DecisionRule rule, double value, double lower, double upper, double expandedU)
{
    const bool inside = value >= lower - Epsilon && value <= upper + Epsilon;
    if (rule == DecisionRule::Simple)
        return inside ? Verdict::Pass : Verdict::Fail;
    const double u = expandedU > 0 ? expandedU : 0;
    if (value >= lower + u - Epsilon && value <= upper - u + Epsilon)
        return Verdict::Pass;
    if (inside)
        return Verdict::ConditionalPass;
    if (value >= lower - u - Epsilon && value <= upper + u + Epsilon)
        return Verdict::ConditionalFail;
    return Verdict::Fail;
}

} // namespace psucal::cal
