#include "link/SerialTransport.h"

#include "link/LowLatency.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <utility>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace psucal {

namespace {
// Above 64 a tty hands out its input 64 bytes a read, so a larger count would cost more reads
// than the wake-ups it saves.
constexpr int MaxVmin = 64;
// A longer reply is watched as it comes: the tty holds only about 4 KiB unread.
constexpr qint64 MaxTimedReply = 2048;
// The look learns, for each kind of exchange, when its reply is whole. Each reply whole at its
// look brings the next look of its kind 10 us sooner, and after sixteen in a row the step doubles
// with every further one, so that on a line faster than its baud rate the look comes down in a
// few dozen replies. A reply not yet whole at its look is waited for on the spot when its kind's
// last replies say it is due within a few milliseconds, and watched for otherwise; so is one in
// sixteen replies at first and one in 256 later, since a whole reply tells only that it was
// whole by its look. The look then moves to half a character before that reply was seen whole
// (or, where replies spread over more than half a character's time, before the earliest of the
// last sixteen seen), but never more than the last step and 150 us later than it was: a slow
// spell moves it a little, a line slower for good is caught up with in a few dozen replies. A
// silent or cut reply teaches nothing. Being early costs a poll or a wake-up, being late the
// reply's time.
constexpr double EarlierStep = 10e-6;
constexpr int Patience = 16;
constexpr double LaterStep = 150e-6;
constexpr double LongestTurnaround = 0.5;
// A line whose replies come this many characters' time sooner than its baud rate says is faster.
constexpr double BaudRateSlack = 2;
// A reply this few characters short at its look is waited for on the spot, for at most their
// line time and this much more: cheaper than watching the line, and too short for anyone to see.
constexpr qint64 NearlyWhole = 2;
constexpr double NearlyWholeSlack = 0.001;
// The longest a look waits on the spot for the rest of a reply; the window is not redrawn meanwhile.
constexpr double RestWithin = 0.008;
// Replies of a kind of which half come this many characters' time or more after the earliest few get
// no look: behind an adapter's latency timer a reply comes out at the timer's next tick, anywhere
// in its period, so any look is early or late by up to that period. They are watched for with the
// count at the reply's length, which wakes the program once a reply, when it is whole. Half, not
// the latest: a busy machine holds up a few replies, seldom most of them. So are the replies of a
// line that hands them over whole, sooner than its baud rate allows (a USB CDC device, a serial
// server): watching one costs the single wake-up a look would, and is never late.
constexpr double WideSpread = 4;
constexpr double TightSpread = 0.5;
constexpr int SpreadSamples = 4;
// The look comes this many characters' time before a reply should be whole, and the rest is
// polled for on the spot: a timer wakes a program later than a character arriving does, and a
// look that is late costs every reply that time.
constexpr double Lead = 0.5;
// A line shows what kind it is in its first replies; later probes only follow a change.
constexpr int ProbeEvery = 16;
constexpr int ProbeWhileLearning = 64;
constexpr int ProbeLater = 256;

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

speed_t Speed(int baud)
{
    static const std::pair<int, speed_t> speeds[] = {{1200, B1200},   {2400, B2400},   {4800, B4800},
                                                     {9600, B9600},   {19200, B19200}, {38400, B38400},
                                                     {57600, B57600}, {115200, B115200}};
    for (const auto& [rate, speed] : speeds)
        if (rate == baud)
            return speed;
    return B9600;
}
} // namespace

SerialTransport::SerialTransport(Settings settings) : settings_(settings) {}

void SerialTransport::Kind::note(double seconds)
{
    whole[static_cast<size_t>(wholeNext)] = seconds;
    wholeNext = (wholeNext + 1) % static_cast<int>(whole.size());
    wholeCount = std::min(wholeCount + 1, static_cast<int>(whole.size()));
    // Kept, not worked out at each look: every wait on the port asks for them.
    auto sorted = whole;
    std::sort(sorted.begin(), sorted.begin() + wholeCount);
    // A few replies held up by a busy machine say nothing about the line; an early one does, as
    // nothing makes a reply come sooner than the line brings it.
    const int stalls = std::max(wholeCount >= 3 ? 1 : 0, wholeCount / 5);
    earliest = sorted[0];
    latest = sorted[static_cast<size_t>(std::max(0, wholeCount - 1 - stalls))];
    const bool enough = wholeCount >= SpreadSamples;
    width = enough ? latest - earliest : 0;
    // The middle one against the earliest few, which a busy machine held up least.
    midWidth = enough ? sorted[static_cast<size_t>(wholeCount / 2)] - sorted[static_cast<size_t>(wholeCount / 8)] : 0;
}

void SerialTransport::setPortName(const QString& name)
{
    // What was learnt holds for one line.
    if (name != name_) {
        kinds_.clear();
        kind_ = -1;
    }
    DescriptorTransport::setPortName(name);
}

QString SerialTransport::devicePath(const QString& name)
{
    static const QRegularExpression com(QStringLiteral("^COM([1-4])$"));
    const auto m = com.match(name);
    if (m.hasMatch())
        return QStringLiteral("/dev/ttyS%1").arg(m.captured(1).toInt() - 1);
    if (name.isEmpty() || name.contains(u'/'))
        return name;
    // A bare name: an adapter's stable name under by-id, else a device under /dev.
    const QString byId = QStringLiteral("/dev/serial/by-id/") + name;
    return QFileInfo::exists(byId) ? byId : QStringLiteral("/dev/") + name;
}

bool SerialTransport::open()
{
    if (isOpen())
        return true;
    denied_.clear();
    missing_.clear();
    error_.clear();
    advice_.clear();
    if (name_.isEmpty())
        return false;
    const QString path = devicePath(name_);
    fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        const int e = errno;
        if (e == EACCES || e == EPERM)
            denied_ = path;
        else if (e == ENOENT || e == ENODEV || e == ENXIO || e == ENOTDIR)
            missing_ = path;
        error_ = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(e)));
        return false;
    }
    // One program a port: a second one would take the other's replies.
    const bool locked = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
    if (!locked || !configure()) {
        error_ = QStringLiteral("%1: %2").arg(path, locked ? QStringLiteral("not a serial port")
                                                           : QStringLiteral("in use by another program"));
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    expected_ = 0;
    flushDue_ = false;
    timed_ = measuring_ = false;
    advice_ = lowlatency::Apply(fd_, path, sysfsTty_);
    adopt(fd_, Watch::Gated);
    return true;
}

// Raw 8N1 (or 8N2), no flow control, DTR asserted; readable from the first byte.
bool SerialTransport::configure()
{
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0)
        return false;
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    if (settings_.stopBits == 2)
        tio.c_cflag |= CSTOPB;
    else
        tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    ::cfsetispeed(&tio, Speed(settings_.baud));
    ::cfsetospeed(&tio, Speed(settings_.baud));
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0)
        return false;
    // tcsetattr succeeds when any of the settings took: read back whether VMIN did.
    termios now{};
    vminRefused_ = ::tcgetattr(fd_, &now) != 0 || now.c_cc[VMIN] != 1 || now.c_cc[VTIME] != 0;
    vmin_ = 1;
    if (!kernel_.load(fd_))
        vminRefused_ = true;
    // Other programs cannot open it meanwhile (root still can).
    ::ioctl(fd_, TIOCEXCL);
    // A pseudo-terminal has no modem lines, which is harmless.
    const int dtr = TIOCM_DTR;
    ::ioctl(fd_, TIOCMBIS, &dtr);
    return true;
}

void SerialTransport::close()
{
    DescriptorTransport::close();
    received_.clear();
    expected_ = 0;
    timed_ = measuring_ = false;
}

void SerialTransport::discard()
{
    // The kernel's buffers are flushed with the next frame, in the call that sets its count.
    received_.clear();
    flushDue_ = isOpen();
    timed_ = measuring_ = false;
}

bool SerialTransport::write(const QByteArray& bytes)
{
    timed_ = measuring_ = wholeTold_ = askedAgain_ = false;
    frameSize_ = bytes.size();
    // Known before the flush, which sets the count a watched kind wants in the same call.
    kind_ = kindOf(frameSize_, expected_);
    settle();
    // Taken before the call: a program held up right after it would look too late, not too early.
    writtenAt_ = Now();
    return DescriptorTransport::write(bytes);
}

double SerialTransport::lookAfter()
{
    if (!isOpen() || !canGate() || expected_ <= 0 || expected_ > MaxTimedReply || received_.size() >= expected_)
        return 0;
    looksItself_ = true;
    lineTime_ = static_cast<double>(frameSize_ + expected_) * charTime();
    // write() found the kind; a new one is added here, where its first look is worked out.
    if (kind_ < 0) {
        kinds_.push_back({frameSize_, expected_, firstLook()});
        kind_ = static_cast<qsizetype>(kinds_.size()) - 1;
    }
    Kind& kind = kinds_[static_cast<size_t>(kind_)];
    const double due = kind.due;
    // A reply whole at its look tells only that it was whole by then, so every so often one is
    // watched for: that shows how early replies of its kind can be, and how much they spread.
    ++kind.looks;
    if (due <= 0 || watchedKind() || kind.looks % (kind.looks < ProbeWhileLearning ? ProbeEvery : ProbeLater) == 0) {
        // Watched for as it comes, which also tells when it was whole.
        measuring_ = true;
        return 0;
    }
    timed_ = true;
    setWatching(false);
    return due;
}

qsizetype SerialTransport::kindOf(qsizetype frame, qint64 reply) const
{
    const auto same = [&](const Kind& k) { return k.frame == frame && k.reply == reply; };
    const auto it = std::find_if(kinds_.begin(), kinds_.end(), same);
    return it == kinds_.end() ? -1 : it - kinds_.begin();
}

bool SerialTransport::watchedKind() const
{
    if (kind_ < 0)
        return false;
    const Kind& k = kinds_[static_cast<size_t>(kind_)];
    return k.midWidth > WideSpread * charTime() || k.handedOver;
}

qint64 SerialTransport::bytesAvailable() const
{
    settle();
    // Looking reads the line, which a const call cannot; settle() is no more const than this.
    auto* self = const_cast<SerialTransport*>(this);
    if (timed_) {
        self->look();
    } else {
        if (expected_ > 0 && received_.size() >= expected_) {
            askedAgain_ = wholeTold_;
            wholeTold_ = true;
        }
        setVmin(wantedVmin());
        self->setWatching(true);
    }
    return received_.size();
}

QByteArray SerialTransport::readAll()
{
    settle();
    if (timed_)
        look();
    // Bytes fewer than the wait's count stay with the kernel until read: a short reply at its deadline.
    if (isOpen() && received_.size() < expected_)
        readInput();
    expected_ = 0;
    measuring_ = wholeTold_ = askedAgain_ = false;
    return std::exchange(received_, QByteArray());
}

// The one read a timed reply costs when it is whole; otherwise the line is watched for the rest.
void SerialTransport::look()
{
    timed_ = false;
    if (!readInput())
        return;
    if (received_.size() >= expected_) {
        learnWhole();
        return;
    }
    measuring_ = true;
    const double until = restDue();
    if (until > 0 && awaitRest(until))
        return;
    setVmin(wantedVmin());
    setWatching(true);
}

// When the rest of a reply not whole at its look should be in, if soon enough to wait for on the
// spot: a character or two at the line's rate, or by when the last replies of its kind were whole
// (a line that hands a reply over at once); 0 when not that soon.
double SerialTransport::restDue() const
{
    const double now = Now();
    const qint64 missing = expected_ - received_.size();
    double due = missing <= NearlyWhole ? now + static_cast<double>(missing) * charTime() : 0;
    if (kind_ >= 0 && kinds_[static_cast<size_t>(kind_)].wholeCount > 0)
        due = std::max(due, writtenAt_ + kinds_[static_cast<size_t>(kind_)].latest);
    due += NearlyWholeSlack;
    return due > now && due - now <= RestWithin ? due : 0;
}

bool SerialTransport::awaitRest(double until)
{
    setVmin(1);
    for (double left = until - Now(); left > 0 && isOpen(); left = until - Now()) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(std::ceil(left * 1000))) <= 0 || !readInput())
            break;
        if (received_.size() >= expected_) {
            learnSeen();
            return true;
        }
    }
    return !isOpen();
}

// Where the first reply of a kind is looked at. On a line whose replies take their baud-rate time
// it is that time plus the least turnaround seen: an image read is not watched character by
// character. On a line faster than that, or one not known yet, the reply is watched for.
double SerialTransport::firstLook() const
{
    double least = LongestTurnaround;
    for (const Kind& k : kinds_) {
        if (k.due <= 0)
            continue;
        least = std::min(least, k.due - static_cast<double>(k.frame + k.reply) * charTime());
    }
    if (least == LongestTurnaround || least < -BaudRateSlack * charTime())
        return -1;
    return lineTime_ + least;
}

void SerialTransport::learnWhole()
{
    Kind& k = kinds_[static_cast<size_t>(kind_)];
    k.step = ++k.streak > Patience ? std::min(2 * k.step, k.due / 2) : EarlierStep;
    k.due = std::max(0.0, k.due - k.step);
}

void SerialTransport::learnSeen()
{
    measuring_ = false;
    if (kind_ < 0)
        return;
    Kind& k = kinds_[static_cast<size_t>(kind_)];
    const double seen = std::clamp(Now() - writtenAt_, 0.0, lineTime_ + LongestTurnaround);
    k.note(seen);
    // No busy machine makes a reply come sooner than the line can carry it.
    k.handedOver = k.earliest < (static_cast<double>(k.frame + k.reply) - BaudRateSlack) * charTime();
    // Replies that come within a fraction of a character of each other are looked at when nearly
    // all are whole; spread wider, as out of a short latency timer, at the earliest.
    const double whole = k.width > TightSpread * charTime() ? k.earliest : seen;
    const double aim = std::max(whole - Lead * charTime(), whole / 2);
    k.due = k.due <= 0 ? aim : std::min(aim, k.due + k.step + LaterStep);
    k.step = 0;
    k.streak = 0;
}

void SerialTransport::expect(qint64 count)
{
    expected_ = count;
    if (!flushDue_)
        setVmin(wantedVmin());
}

// In raw mode with VTIME 0 the descriptor polls readable only once VMIN bytes wait, so one reply
// wakes the program once instead of once per byte. Without a count, or once it is in (a meter's
// reading still has to reach its line end), every byte is wanted. A waiter that looks on its own
// schedule is done with a whole reply unless it asks again, for what may run on past it: the count
// stays until then, and the next frame's flush sets its own in the same call.
int SerialTransport::wantedVmin() const
{
    const qint64 left = expected_ - received_.size();
    if (expected_ > 0 && left <= 0 && looksItself_ && !askedAgain_)
        return vmin_;
    return static_cast<int>(std::clamp<qint64>(left, 1, MaxVmin));
}

void SerialTransport::setVmin(int count) const
{
    if (count == vmin_ || vminRefused_ || !isOpen())
        return;
    if (kernel_.setVmin(fd_, count, false))
        vmin_ = count;
}

// The flush a discard() asked for and the count the next wait wants, in one call when both are due.
void SerialTransport::settle() const
{
    // A waiter that looks on its own schedule needs VMIN only for the last characters of a late
    // reply, one at a time; a kind it watches for, the reply's length.
    const int want = looksItself_ && !watchedKind() ? 1 : wantedVmin();
    if (!flushDue_) {
        if (expected_ <= 0)
            setVmin(want);
        return;
    }
    flushDue_ = false;
    if (!isOpen())
        return;
    // The flushing form drops unread input as it sets VMIN; what was sent before has long left the line.
    if (want != vmin_ && !vminRefused_ && kernel_.setVmin(fd_, want, true)) {
        vmin_ = want;
        return;
    }
    ::tcflush(fd_, TCIOFLUSH);
}

void SerialTransport::onReadable()
{
    readInput();
    if (measuring_ && received_.size() >= expected_)
        learnSeen();
    if (expected_ > 0)
        setVmin(wantedVmin());
    notifyActivity();
}

} // namespace psucal
