#include "app/ConfReader.h"

#include "core/Numbers.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

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
}

namespace {

constexpr qsizetype kKeyLength = 12;
// Only the first characters of an item can matter; a longer one is a bad line, not a setting.
constexpr qsizetype kMaxItem = 4096;
constexpr qint64 kChunk = 64 * 1024;

// Splits the text into items the way a free-format comma-separated reader does, one item at a
// time, so that the file can arrive in chunks and never has to be held whole.
class ItemSplitter {
public:
    explicit ItemSplitter(ConfResult& result) : result_(result) {}

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
    }

private:
    enum class State { Start, Plain, Quoted, AfterQuote };

    static bool isSeparator(QChar c) { return c == u',' || c == u'\n' || c == u'\r'; }

    void step(QChar c)
    {
        switch (state_) {
        case State::Start:
            if (isSeparator(c))
                endItem();
            else if (c == u'"')
                state_ = State::Quoted;
            else if (c != u' ' && c != u'\t') {
                append(c);
                state_ = State::Plain;
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
        double* volts = nullptr;
        double* amps = nullptr;
        if (key == u"RigorUpLimit") {
            volts = &result_.RigorUpV;
            amps = &result_.RigorUpC;
        } else if (key == u"RigorDnLimit") {
            volts = &result_.RigorDnV;
            amps = &result_.RigorDnC;
        } else if (key == u"RigorOffset ") {
            volts = &result_.RigorOffsetV;
            amps = &result_.RigorOffsetC;
        } else {
            return;
        }
        const double n = num::Leading(value);
        *volts = num::RoundTo(n / 100.0, 2);
        *amps = num::RoundTo(n / 1000.0, 3);
    }

    ConfResult& result_;
    State state_ = State::Start;
    QString item_;
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
        result.warning = QStringLiteral("%1 is larger than %2; only its first %2 were read.")
                             .arg(QDir::toNativeSeparators(path), sizeText(maxBytes));
    }
    return result;
}

} // namespace psucal
