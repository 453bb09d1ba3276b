#pragma once

#include "sim/Answer.h"

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>
#include <QString>

#include <optional>

namespace psucal::sim {

// One way a frame's answer goes wrong.
//
// Text form (the simulator's --fault option):  WORD:KIND[=VALUE][:WHEN]
//   WORD   a command word, optionally followed by the start of its data ("GETD", "SEEP156",
//          "VOLT010"), or "*" for every frame; for the meter, METER (every line it gets) or a
//          query header without its colon ("READ?", "*IDN?")
//   KIND   silence         no reply
//          lost            the frame never reaches the unit: no effect, no reply
//          late=SECONDS    the reply starts SECONDS later than usual
//          truncate=N      only the first N characters are sent
//          garbage         as many characters as usual, none of them a digit or a nibble
//          dropchar[=POS]  the character at POS (1-based; default the middle one) goes missing
//          nondigits       every digit of the reply is replaced by a letter
//          shortrow[=N]    a row read ("GEEP" with a row number) sends only N characters (default 5)
//          flipnibble[=POS] a row read keeps its length but the nibble character at POS (1..8;
//                          default a position drawn at random) turns into another one: line
//                          noise that no parser can see
//          vanish[=SECONDS] the port disappears (writes fail, it cannot be opened) for
//                          SECONDS, or for good when no value is given
//          zero            (meter) the reading is +0.00000000E+00
//          overload        (meter) the reading is the overload value +9.90000000E+37
//          foreign         a character turns into one that belongs to no reply
//          extra           such a character is put in
//          noise           line noise: one of late, dropchar, foreign, extra, a cut, silence and
//                          (row reads) flipnibble, drawn with its place from the plan's seed
//   WHEN   every (default), nth=N (only the Nth matching frame), from=N (the Nth and all later),
//          p=CHANCE (each matching frame with that probability, 0..1, from the plan's seed)
// Examples: GETD:silence:nth=3   GEEP:shortrow:from=1   *:vanish:nth=120   GMAX:late=0.5
//           READ?:zero:nth=2   READ?:truncate=10   METER:silence   GEEP:flipnibble:p=0.08
struct FaultRule {
    enum class Kind {
        Silence,
        Lost,
        Late,
        Truncate,
        Garbage,
        DropChar,
        NonDigits,
        ShortRow,
        FlipNibble,
        Vanish,
        Zero,
        Overload,
        Foreign,
        Extra,
        Noise
    };
    enum class When { Every, Nth, From, Chance };

    QByteArray word; // empty: every frame
    Kind kind = Kind::Silence;
    double value = 0;
    When when = When::Every;
    int n = 1;
    double chance = 1.0;
    double at = -1; // where in the reply the noise lands, 0..1; settled when the rule fires

    static std::optional<FaultRule> Parse(const QString& text, QString* error = nullptr);
    // SCPI headers end in '?' where the supply's four-letter words never do.
    bool forMeter() const { return word == "METER" || word.endsWith('?'); }
};

class FaultPlan {
public:
    explicit FaultPlan(quint32 seed = 1) : rng_(seed) {}
    void reseed(quint32 seed) { rng_.seed(seed); }

    void add(const FaultRule& rule) { rules_.append({rule, 0}); }
    bool add(const QString& text, QString* error = nullptr);
    void clear() { rules_.clear(); }
    bool empty() const { return rules_.isEmpty(); }

    // Counts the frame (command word followed by its data, without the fixed field) against
    // every rule whose word it matches, and returns the rules that fire on it. Random choices
    // (a chance, a nibble position left open) are settled here, so Apply is repeatable.
    QList<FaultRule> fire(const QByteArray& key);

    static bool Loses(const QList<FaultRule>& fired);
    static void Apply(const QList<FaultRule>& fired, Answer& answer, bool rowRead);

    // The text form, for --help.
    static QString Grammar();

    // A noise plan (--faults): "noise:p=CHANCE" on the supply's display, row, row-write and
    // set-point replies and on the meter's readings; "supply-noise:p=" or "meter-noise:p=" on
    // one of them. The rules it stands for, or nothing (and `error`) when it is not one.
    static std::optional<QStringList> NoiseRules(const QString& plan, QString* error = nullptr);

private:
    FaultRule settleNoise(const FaultRule& rule, bool rowRead);
    struct Entry {
        FaultRule rule;
        int seen;
    };
    QList<Entry> rules_;
    QRandomGenerator rng_;
};

} // namespace psucal::sim
