#include "wizard/ConfReader.h"

#include "cal/DecisionRule.h"
#include "core/Numbers.h"
#include "db/ServerAddress.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace psucal {

void ConfResult::apply(BenchState& state) const
{
    state.RigorUpV = RigorUpV;
    state.RigorDnV = RigorDnV;
    state.RigorOffsetV = RigorOffsetV;
    state.RigorUpC = RigorUpC;
    state.RigorDnC = RigorDnC;
    state.RigorOffsetC = RigorOffsetC;
    state.GuardRule = GuardRule;
    state.AsFound = AsFound;
    state.ShuntOhm = ShuntOhm;
    state.ShuntTol = ShuntTol;
    state.MeterId = MeterId;
    state.MeterCalDue = MeterCalDue;
    state.ShuntId = ShuntId;
    state.ShuntCalDue = ShuntCalDue;
    state.Humidity = Humidity;
    state.Retries = Retries;
}

namespace {

constexpr qsizetype kKeyLength = 12;
// Only the first characters of an item can matter; a longer one is a bad line, not a setting.
constexpr qsizetype kMaxItem = 4096;
constexpr qint64 kChunk = 64 * 1024;
// More repeats than this only keep a dead line busy.
constexpr int kMostRetries = 9;

// Where a limit lives, what it falls back to, and what the file said about it.
struct Limit {
    const char* key;
    double* volts;
    double* amps;
    double defaultVolts;
    int line = 0;     // line of the item that set it; 0: the file did not
    double given = 0; // the number as written, hundredths of a volt
};

// Splits the text into items the way a free-format comma-separated reader does, one item at a
// time, so that the file can arrive in chunks and never has to be held whole.
class ItemSplitter {
public:
    explicit ItemSplitter(ConfResult& result)
        : result_(result), up_{"RigorUpLimit", &result.RigorUpV, &result.RigorUpC, result.RigorUpV},
          dn_{"RigorDnLimit", &result.RigorDnV, &result.RigorDnC, result.RigorDnV}, offset_{"RigorOffset",
                                                                                            &result.RigorOffsetV,
                                                                                            &result.RigorOffsetC,
                                                                                            result.RigorOffsetV}
    {
        for (Limit* l : {&up_, &dn_, &offset_})
            l->given = l->defaultVolts * 100.0;
    }

    void feed(QStringView text)
    {
        for (const QChar c : text)
            step(c);
    }

    // The end of the input ends the last item too, unless the input was cut off in its middle.
    void finish(bool complete)
    {
        if (complete && state_ != State::Start)
            endItem();
        checkWindow();
    }

private:
    enum class State { Start, Plain, Quoted, AfterQuote };

    static bool isSeparator(QChar c) { return c == u',' || c == u'\n' || c == u'\r'; }

    void step(QChar c)
    {
        // "\r\n", "\n" and "\r" each end one line.
        if (c == u'\r' || (c == u'\n' && !afterCr_))
            ++line_;
        afterCr_ = c == u'\r';

        switch (state_) {
        case State::Start:
            if (isSeparator(c))
                endItem();
            else if (c == u'"')
                begin(State::Quoted);
            else if (c != u' ' && c != u'\t') {
                begin(State::Plain);
                append(c);
            }
            break;
        case State::Plain:
            if (isSeparator(c))
                endItem();
            else
                append(c);
            break;
        case State::Quoted:
            if (c == u'"')
                state_ = State::AfterQuote;
            else
                append(c);
            break;
        case State::AfterQuote:
            // Anything between the closing quote and the next separator is dropped.
            if (isSeparator(c))
                endItem();
            break;
        }
    }

    void begin(State s)
    {
        state_ = s;
        itemLine_ = line_;
    }

    void append(QChar c)
    {
        if (item_.size() < kMaxItem)
            item_.append(c);
    }

    void endItem()
    {
        take(item_);
        item_.clear();
        state_ = State::Start;
    }

    void take(QStringView item)
    {
        if (item.size() < kKeyLength)
            return;
        const QStringView key = item.first(kKeyLength);
        // Character 13 separates key and value and is never looked at.
        const QStringView value = item.size() > kKeyLength + 1 ? item.sliced(kKeyLength + 1) : QStringView();
        if (key == u"EEPVisible  ") {
            result_.EEPVisible = value == u"True";
            return;
        }
        if (key == u"AsFound     ") {
            result_.AsFound = value == u"True";
            return;
        }
        if (key == u"DecisionRule") {
            takeRule(value.trimmed().toString());
            return;
        }
        if (key == u"ShuntOhm    " || key == u"ShuntTol    ") {
            takeShunt(key == u"ShuntOhm    " ? result_.ShuntOhm : result_.ShuntTol, key.trimmed(), value);
            return;
        }
        if (key == u"MeterId     " || key == u"ShuntId     ") {
            (key == u"MeterId     " ? result_.MeterId : result_.ShuntId) = value.trimmed().toString();
            return;
        }
        if (key == u"MeterCalDue " || key == u"ShuntCalDue ") {
            takeDue(key == u"MeterCalDue " ? result_.MeterCalDue : result_.ShuntCalDue, key.trimmed(), value.trimmed());
            return;
        }
        if (key == u"Humidity    ") {
            takeHumidity(value.trimmed());
            return;
        }
        if (key == u"Retries     ") {
            takeRetries(value.trimmed());
            return;
        }
        if (key == u"Database    ") {
            takeDatabase(value.trimmed().toString());
            return;
        }
        Limit* limit = key == u"RigorUpLimit"   ? &up_
                       : key == u"RigorDnLimit" ? &dn_
                       : key == u"RigorOffset " ? &offset_
                                                : nullptr;
        if (!limit)
            return;
        limit->line = itemLine_;
        if (!isNumber(value)) {
            warn(QStringLiteral("line %1: %2 '%3' is not a number; the default %4 is used.")
                     .arg(itemLine_)
                     .arg(QLatin1String(limit->key), value.trimmed().toString(),
                          asWritten(limit->defaultVolts * 100.0)));
            setLimit(*limit, limit->defaultVolts * 100.0);
            return;
        }
        setLimit(*limit, num::Leading(value));
    }

    void takeRule(const QString& word)
    {
        const std::optional<cal::DecisionRule> rule = cal::ParseDecisionRule(word);
        if (!rule)
            warn(QStringLiteral("line %1: DecisionRule '%2' is neither simple nor guard; simple is used.")
                     .arg(itemLine_)
                     .arg(word));
        result_.GuardRule = rule == cal::DecisionRule::Guard;
    }

    // A shunt of 0 ohms or a negative tolerance would turn every current into nonsense.
    void takeShunt(double& field, QStringView key, QStringView value)
    {
        const double n = isNumber(value) ? num::Leading(value) : -1;
        if (n > 0 || (n == 0 && key == u"ShuntTol")) {
            field = n;
            return;
        }
        warn(QStringLiteral("line %1: %2 '%3' is not a positive number; the default %4 is used.")
                 .arg(itemLine_)
                 .arg(key.toString(), value.trimmed().toString(),
                      num::Shortest(key == u"ShuntOhm" ? BenchState{}.ShuntOhm : BenchState{}.ShuntTol)));
    }

    // A date that cannot be read is not taken for one: the reference then has no due date, and
    // the operator hears why at start.
    void takeDue(QDate& field, QStringView key, QStringView value)
    {
        field = QDate::fromString(value.toString(), QStringLiteral("yyyy-MM-dd"));
        if (field.isValid() || value.isEmpty())
            return;
        warn(QStringLiteral("line %1: %2 '%3' is not a date written yyyy-MM-dd; it is taken as not given.")
                 .arg(itemLine_)
                 .arg(key.toString(), value.toString()));
    }

    void takeHumidity(QStringView value)
    {
        const double n = isNumber(value) ? num::Leading(value) : -1;
        result_.Humidity = n >= 0 && n <= 100 ? QString::number(std::lround(n)) : QString();
        if (!result_.Humidity.isEmpty() || value.isEmpty())
            return;
        warn(QStringLiteral("line %1: Humidity '%2' is not a percentage from 0 to 100; it is taken as not given.")
                 .arg(itemLine_)
                 .arg(value.toString()));
    }

    void takeRetries(QStringView value)
    {
        bool ok = false;
        const int n = value.toInt(&ok);
        if (ok && n >= 0 && n <= kMostRetries) {
            result_.Retries = n;
            return;
        }
        warn(QStringLiteral("line %1: Retries '%2' is not a whole number from 0 to %3; the default %4 is used.")
                 .arg(itemLine_)
                 .arg(value.toString())
                 .arg(kMostRetries)
                 .arg(BenchState{}.Retries));
        result_.Retries = BenchState{}.Retries;
    }

    void takeDatabase(const QString& url)
    {
        QString why;
        const bool good = url.isEmpty() || !ServerAddress::Parse(url, &why).isEmpty();
        result_.Database = good ? url : QString();
        if (!good)
            warn(QStringLiteral("line %1: Database %2; the records stay in Calibration.dt.").arg(itemLine_).arg(why));
    }

    static void setLimit(Limit& limit, double n)
    {
        limit.given = n;
        *limit.volts = num::RoundTo(n / 100.0, 2);
        *limit.amps = num::RoundTo(n / 1000.0, 3);
    }

    // An inverted window would leave no display error acceptable: every point would be
    // corrected five times and reported as failed.
    void checkWindow()
    {
        if (result_.RigorDnV <= result_.RigorUpV && result_.RigorDnC <= result_.RigorUpC)
            return;
        warn(QStringLiteral("line %1: RigorDnLimit %2 is above RigorUpLimit %3; the default window %4..%5 is used.")
                 .arg(std::max(up_.line, dn_.line))
                 .arg(asWritten(dn_.given), asWritten(up_.given), asWritten(dn_.defaultVolts * 100.0),
                      asWritten(up_.defaultVolts * 100.0)));
        setLimit(up_, up_.defaultVolts * 100.0);
        setLimit(dn_, dn_.defaultVolts * 100.0);
    }

    static QString asWritten(double n) { return num::Shortest(num::RoundTo(n, 6)); }

    // The whole value must be one number; "8mV" or "abc" would otherwise silently read as 8 or 0.
    static bool isNumber(QStringView value)
    {
        static const QRegularExpression number(QStringLiteral("^ *[+-]?([0-9]+(\\.[0-9]*)?|\\.[0-9]+) *$"));
        return number.match(value.toString()).hasMatch();
    }

    void warn(const QString& text)
    {
        if (!result_.warning.isEmpty())
            result_.warning += u'\n';
        result_.warning += ConfReader::kFileName + u' ' + text;
    }

    ConfResult& result_;
    Limit up_;
    Limit dn_;
    Limit offset_;
    State state_ = State::Start;
    QString item_;
    int line_ = 1;
    int itemLine_ = 1;
    bool afterCr_ = false;
};

QString sizeText(qint64 bytes)
{
    constexpr qint64 mb = 1024 * 1024;
    if (bytes >= mb && bytes % mb == 0)
        return QStringLiteral("%1 MB").arg(bytes / mb);
    return QStringLiteral("%1 bytes").arg(bytes);
}

ConfResult unreadable(const QString& path, const QString& why)
{
    ConfResult r;
    r.found = true;
    r.readable = false;
    r.warning = QStringLiteral("%1 could not be read (%2); the default limits are used.")
                    .arg(QDir::toNativeSeparators(path), why);
    return r;
}

} // namespace

ConfResult ConfReader::read(const QString& folder, qint64 maxBytes)
{
    const QString path = QDir(folder).filePath(kFileName);

    // A FIFO or a device of that name would block or never end; only a plain file is read.
    std::error_code ec;
    const auto status = std::filesystem::status(QFile::encodeName(path).toStdString(), ec);
    if (status.type() == std::filesystem::file_type::not_found)
        return {};
    if (ec)
        return unreadable(path, QString::fromStdString(ec.message()));
    if (status.type() == std::filesystem::file_type::directory)
        return unreadable(path, QStringLiteral("it is a folder"));
    if (status.type() != std::filesystem::file_type::regular)
        return unreadable(path, QStringLiteral("it is not a regular file"));

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return unreadable(path, file.errorString());

    ConfResult result;
    result.found = true;
    ItemSplitter items(result);
    QStringDecoder utf8(QStringDecoder::Utf8);

    qint64 total = 0;
    bool complete = true;
    QByteArray chunk;
    for (;;) {
        const qint64 want = std::min(kChunk, maxBytes - total);
        if (want <= 0) {
            // Check for one more byte rather than trusting a size that may still be growing.
            complete = file.read(1).isEmpty();
            break;
        }
        chunk = file.read(want);
        if (chunk.isEmpty()) {
            if (file.error() != QFileDevice::NoError)
                return unreadable(path, file.errorString());
            break;
        }
        total += chunk.size();
        const QString text = utf8.decode(chunk);
        items.feed(text);
    }
    items.finish(complete);

    if (!complete) {
        if (!result.warning.isEmpty())
            result.warning += u'\n';
        result.warning += QStringLiteral("%1 is larger than %2; only its first %2 were read.")
                              .arg(QDir::toNativeSeparators(path), sizeText(maxBytes));
    }
    return result;
}

} // namespace psucal
