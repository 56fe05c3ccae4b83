// The serial layer on POSIX terminals: termios for the line, poll() for the time-outs,
// flock() for exclusive use.
//
// A port handle points to a PortRecord: the descriptor and the five time-outs, which POSIX
// has no place for, with the Win32 COMMTIMEOUTS meanings. The descriptor is non-blocking
// with VMIN = VTIME = 0, so every wait is a poll() bounded by a deadline on the monotonic
// clock; a read therefore ends exactly as a Win32 comm read does (count reached, interval
// passed since the last byte, or total time-out), and a hung-up peer ends it as a failure
// instead of an endless run of empty reads.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#if defined(__linux__)
#include <linux/serial.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

#include "posix_last_error.h"
#include "serial.h"

static_assert(sizeof(termios) <= sizeof(SerialLineSettings::native),
              "the driver's termios must fit in the line settings' native record");
static_assert(alignof(termios) <= 8, "the native record is 8-byte aligned");

namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::milliseconds;

constexpr uint32_t kMaxDword = 0xFFFFFFFFu;   // the Win32 "special meaning" time-out value
constexpr uint32_t kRecordMagic = 0x44525350;  // catches a handle that is not ours

struct PortRecord {
    uint32_t magic = kRecordMagic;
    int fd = -1;
    SerialTimeouts timeouts{};  // all 0 after opening, as a fresh Win32 driver reports
};

thread_local uint32_t lastError = 0;

bool Fail(int error) {
    RememberPosixError(error);
    return false;
}

PortRecord* RecordOf(PortHandle port) {
    auto* record = static_cast<PortRecord*>(port);
    if (record == nullptr || record->magic != kRecordMagic || record->fd < 0) return nullptr;
    return record;
}

struct SpeedRow {
    uint32_t bitsPerSecond;
    speed_t code;
};

// Speeds the termios interface can name. Others are refused rather than approximated.
constexpr SpeedRow kSpeeds[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
    {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
#ifdef B230400
    {230400, B230400},
#endif
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B500000
    {500000, B500000},
#endif
#ifdef B921600
    {921600, B921600},
#endif
#ifdef B1000000
    {1000000, B1000000},
#endif
};

std::optional<speed_t> SpeedCodeOf(uint32_t bitsPerSecond) {
    for (const SpeedRow& row : kSpeeds) {
        if (row.bitsPerSecond == bitsPerSecond) return row.code;
    }
    return std::nullopt;
}

uint32_t BitsPerSecondOf(speed_t code) {
    for (const SpeedRow& row : kSpeeds) {
        if (row.code == code) return row.bitsPerSecond;
    }
    return 0;
}

std::optional<tcflag_t> SizeFlagOf(uint8_t byteSize) {
    switch (byteSize) {
        case 5: return CS5;
        case 6: return CS6;
        case 7: return CS7;
        case 8: return CS8;
        default: return std::nullopt;
    }
}

uint8_t ByteSizeOf(tcflag_t cflag) {
    switch (cflag & CSIZE) {
        case CS5: return 5;
        case CS6: return 6;
        case CS7: return 7;
        default: return 8;
    }
}

// Win32 parity numbering: 0 none, 1 odd, 2 even. Mark and space have no POSIX equivalent.
constexpr uint8_t kParityNone = 0;
constexpr uint8_t kParityOdd = 1;
constexpr uint8_t kParityEven = 2;

// Raw binary transfer: a terminal's defaults (canonical lines, echo, CR/LF mapping,
// XON/XOFF) would change or swallow bytes of a firmware image.
void MakeRaw(termios& tio) {
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                          IXON | IXOFF | IXANY | INPCK);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;  // reads never block in the driver: our poll loop times them
    tio.c_cc[VTIME] = 0;
}

// Raises or lowers one modem line. A pseudo-terminal has none: that is not a failure.
bool SetModemLine(int fd, int line, bool raised) {
    if (ioctl(fd, raised ? TIOCMBIS : TIOCMBIC, &line) == 0) return true;
    return errno == ENOTTY || errno == EINVAL || Fail(errno);
}

// Asks the UART driver to hand bytes up at once; ignored where the driver has no such knob.
void RequestLowLatency([[maybe_unused]] int fd) {
#if defined(__linux__) && defined(ASYNC_LOW_LATENCY)
    serial_struct serial{};
    if (ioctl(fd, TIOCGSERIAL, &serial) != 0) return;
    serial.flags |= ASYNC_LOW_LATENCY;
    (void)ioctl(fd, TIOCSSERIAL, &serial);
#endif
}

// Milliseconds to wait in poll() for the time up to deadline, rounded up so that a wait
// never ends before the deadline; 0 when it has passed.
int PollMillisecondsUntil(Clock::time_point deadline) {
    auto remaining = deadline - Clock::now();
    if (remaining <= Clock::duration::zero()) return 0;
    auto ms = std::chrono::ceil<Milliseconds>(remaining).count();
    return ms > 1'000'000'000 ? 1'000'000'000 : static_cast<int>(ms);
}

// Waits until fd is ready for `events` or the deadline passes (none: no limit).
// Returns the poll revents (0 on time-out), or -1 with errno set on failure.
int WaitFor(int fd, short events, std::optional<Clock::time_point> deadline) {
    for (;;) {
        int timeout = deadline ? PollMillisecondsUntil(*deadline) : -1;
        pollfd entry{fd, events, 0};
        int ready = poll(&entry, 1, timeout);
        if (ready > 0) return entry.revents;
        if (ready == 0) {
            if (!deadline || Clock::now() >= *deadline) return 0;
            continue;  // poll's millisecond grain ended early: wait out the rest
        }
        if (errno != EINTR) return -1;
    }
}

// The total time-out of an n-byte transfer: constant + multiplier * n, when either is set.
std::optional<Clock::time_point> TotalDeadline(Clock::time_point start, uint32_t multiplier,
                                               uint32_t constant, uint32_t count) {
    if (multiplier == 0 && constant == 0) return std::nullopt;
    // Beyond about 35 years a wait is unbounded in practice; the clamp keeps the clock
    // arithmetic (nanoseconds in 64 bits) from overflowing for huge multipliers.
    constexpr uint64_t kLongestWaitMs = uint64_t{1} << 40;
    uint64_t ms = uint64_t{multiplier} * count + constant;
    return start + Milliseconds(static_cast<Milliseconds::rep>(ms < kLongestWaitMs ? ms : kLongestWaitMs));
}

std::optional<Clock::time_point> Earlier(std::optional<Clock::time_point> a,
                                         std::optional<Clock::time_point> b) {
    if (!a) return b;
    if (!b) return a;
    return *a < *b ? a : b;
}

// Reads what is waiting without blocking: the count read (0 when nothing is there), or -1
// with errno set when the driver fails.
ssize_t ReadAvailable(int fd, unsigned char* data, uint32_t count) {
    for (;;) {
        ssize_t got = read(fd, data, count);
        if (got >= 0) return got;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        if (errno != EINTR) return -1;
    }
}

}  // namespace

void RememberPosixError(int error) { lastError = static_cast<uint32_t>(error); }

PortHandle SerialOpen(const char* name) {
    if (name == nullptr) {
        Fail(EINVAL);
        return nullptr;
    }
    int fd = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        Fail(errno);
        return nullptr;
    }
    // A port is held by one opener at a time, in this process or another. flock is what
    // enforces it, for root too; TIOCEXCL below only adds the terminal's own refusal.
    int refusal = 0;
    if (!isatty(fd)) {
        refusal = ENOTTY;
    } else if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        refusal = errno;
    }
    if (refusal != 0) {
        close(fd);
        Fail(refusal);
        return nullptr;
    }
    (void)ioctl(fd, TIOCEXCL);
    auto* record = new PortRecord;
    record->fd = fd;
    return record;
}

bool SerialSetupQueues(PortHandle port, uint32_t, uint32_t) {
    // The terminal driver sizes its own buffers; there is nothing to ask for.
    return RecordOf(port) != nullptr || Fail(EBADF);
}

bool SerialGetLineSettings(PortHandle port, SerialLineSettings* settings) {
    PortRecord* record = RecordOf(port);
    if (record == nullptr) return Fail(EBADF);
    if (settings == nullptr) return Fail(EINVAL);
    termios tio{};
    if (tcgetattr(record->fd, &tio) != 0) return Fail(errno);

    *settings = SerialLineSettings{};
    std::memcpy(settings->native, &tio, sizeof tio);
    settings->baudRate = BitsPerSecondOf(cfgetospeed(&tio));
    settings->byteSize = ByteSizeOf(tio.c_cflag);
    settings->parity = (tio.c_cflag & PARENB) == 0 ? kParityNone
                       : (tio.c_cflag & PARODD) != 0 ? kParityOdd
                                                     : kParityEven;
    settings->outxCtsFlow = (tio.c_cflag & CRTSCTS) != 0;
    int lines = 0;
    if (ioctl(record->fd, TIOCMGET, &lines) == 0) {
        settings->dtrControl = (lines & TIOCM_DTR) != 0 ? 1 : 0;
        settings->rtsControl = (lines & TIOCM_RTS) != 0 ? 1 : 0;
    }
    return true;
}

bool SerialSetLineSettings(PortHandle port, const SerialLineSettings* settings) {
    PortRecord* record = RecordOf(port);
    if (record == nullptr) return Fail(EBADF);
    if (settings == nullptr) return Fail(EINVAL);
    std::optional<speed_t> speed = SpeedCodeOf(settings->baudRate);
    std::optional<tcflag_t> sizeFlag = SizeFlagOf(settings->byteSize);
    // DSR handshaking and modem lines other than "raised" or "lowered" have no POSIX means.
    if (!speed || !sizeFlag || settings->parity > kParityEven || settings->outxDsrFlow ||
        settings->dsrSensitivity || settings->dtrControl > 1 || settings->rtsControl > 1) {
        return Fail(EINVAL);
    }

    // Start from the driver's record as read, so that what we do not name (the stop bits,
    // the special characters) stays as the driver had it.
    termios tio{};
    std::memcpy(&tio, settings->native, sizeof tio);
    MakeRaw(tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CRTSCTS);
    tio.c_cflag |= *sizeFlag;
    if (settings->parity != kParityNone) tio.c_cflag |= PARENB;
    if (settings->parity == kParityOdd) tio.c_cflag |= PARODD;
    if (settings->outxCtsFlow) tio.c_cflag |= CRTSCTS;
    if (cfsetispeed(&tio, *speed) != 0 || cfsetospeed(&tio, *speed) != 0) return Fail(errno);
    if (tcsetattr(record->fd, TCSANOW, &tio) != 0) return Fail(errno);

    // tcsetattr succeeds when any part was taken: check that the line really changed.
    termios applied{};
    if (tcgetattr(record->fd, &applied) != 0) return Fail(errno);
    const tcflag_t kMustHold = CSIZE | PARENB | PARODD | CRTSCTS;
    if (cfgetospeed(&applied) != *speed || (applied.c_cflag & kMustHold) != (tio.c_cflag & kMustHold)) {
        return Fail(EINVAL);
    }

    if (!SetModemLine(record->fd, TIOCM_DTR, settings->dtrControl == 1)) return false;
    if (!SetModemLine(record->fd, TIOCM_RTS, settings->rtsControl == 1)) return false;
    RequestLowLatency(record->fd);
    return true;
}

bool SerialGetTimeouts(PortHandle port, SerialTimeouts* timeouts) {
    PortRecord* record = RecordOf(port);
    if (record == nullptr) return Fail(EBADF);
    if (timeouts == nullptr) return Fail(EINVAL);
    *timeouts = record->timeouts;
    return true;
}

bool SerialSetTimeouts(PortHandle port, const SerialTimeouts* timeouts) {
    PortRecord* record = RecordOf(port);
    if (record == nullptr) return Fail(EBADF);
    if (timeouts == nullptr) return Fail(EINVAL);
    record->timeouts = *timeouts;
    return true;
}

bool SerialPurge(PortHandle port) {
    PortRecord* record = RecordOf(port);
    if (record == nullptr) return Fail(EBADF);
    return tcflush(record->fd, TCIOFLUSH) == 0 || Fail(errno);
}

bool SerialDiscardInput(PortHandle port, uint8_t* data, uint32_t capacity, uint32_t* taken) {
    if (taken != nullptr) *taken = 0;
    PortRecord* record = RecordOf(port);
    if (record == nullptr) return Fail(EBADF);
    if (data == nullptr && capacity > 0) return Fail(EINVAL);
    // The descriptor is non-blocking: one read takes what the driver holds now.
    const ssize_t got = ReadAvailable(record->fd, data, capacity);
    if (got < 0) return Fail(errno);
    if (taken != nullptr) *taken = static_cast<uint32_t>(got);
    return true;
}

bool SerialWrite(PortHandle port, const void* data, uint32_t count, uint32_t* written) {
    if (written != nullptr) *written = 0;
    PortRecord* record = RecordOf(port);
    if (record == nullptr) return Fail(EBADF);
    if (data == nullptr && count > 0) return Fail(EINVAL);
    const auto* bytes = static_cast<const unsigned char*>(data);
    const SerialTimeouts& t = record->timeouts;
    auto deadline = TotalDeadline(Clock::now(), t.writeTotalTimeoutMultiplier,
                                  t.writeTotalTimeoutConstant, count);
    uint32_t sent = 0;
    while (sent < count) {
        ssize_t put = write(record->fd, bytes + sent, count - sent);
        if (put > 0) {
            sent += static_cast<uint32_t>(put);
            if (written != nullptr) *written = sent;
            continue;
        }
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return Fail(errno);
        // The driver's buffer is full: wait for room until the write time-out.
        int revents = WaitFor(record->fd, POLLOUT, deadline);
        if (revents < 0) return Fail(errno);
        if (revents == 0) break;  // time-out: success with the count sent, as on Win32
        if ((revents & POLLNVAL) != 0) return Fail(EBADF);
        if ((revents & (POLLHUP | POLLERR)) != 0) return Fail(EIO);
    }
    return true;
}

bool SerialRead(PortHandle port, void* data, uint32_t count, uint32_t* received) {
    if (received != nullptr) *received = 0;
    PortRecord* record = RecordOf(port);
    if (record == nullptr) return Fail(EBADF);
    if (data == nullptr && count > 0) return Fail(EINVAL);
    auto* bytes = static_cast<unsigned char*>(data);
    const SerialTimeouts& t = record->timeouts;
    // Win32's special cases: MAXDWORD interval with no total returns at once with what is
    // there; with a MAXDWORD multiplier too, it waits up to the constant for a first byte.
    const bool intervalIsMax = t.readIntervalTimeout == kMaxDword;
    const bool returnAtOnce = intervalIsMax && t.readTotalTimeoutMultiplier == 0 &&
                              t.readTotalTimeoutConstant == 0;
    const bool returnOnFirstBytes = intervalIsMax && t.readTotalTimeoutMultiplier == kMaxDword &&
                                    t.readTotalTimeoutConstant != 0 &&
                                    t.readTotalTimeoutConstant != kMaxDword;
    const bool useInterval = t.readIntervalTimeout != 0 && !intervalIsMax;

    const Clock::time_point start = Clock::now();
    const auto totalDeadline =
        returnOnFirstBytes ? std::optional(start + Milliseconds(t.readTotalTimeoutConstant))
                           : TotalDeadline(start, t.readTotalTimeoutMultiplier,
                                           t.readTotalTimeoutConstant, count);
    std::optional<Clock::time_point> intervalDeadline;  // set once a byte has come
    uint32_t got = 0;
    bool hungUp = false;
    while (got < count) {
        ssize_t fresh = ReadAvailable(record->fd, bytes + got, count - got);
        if (fresh < 0) return Fail(errno);
        if (fresh > 0) {
            got += static_cast<uint32_t>(fresh);
            if (received != nullptr) *received = got;
            if (useInterval) intervalDeadline = Clock::now() + Milliseconds(t.readIntervalTimeout);
            continue;
        }
        // The peer hung up and nothing more is left to read: the port is gone.
        if (hungUp) return Fail(EIO);
        if (returnAtOnce || (returnOnFirstBytes && got > 0)) break;
        auto deadline = Earlier(totalDeadline, intervalDeadline);
        if (deadline && Clock::now() >= *deadline) break;
        int revents = WaitFor(record->fd, POLLIN, deadline);
        if (revents < 0) return Fail(errno);
        if ((revents & POLLNVAL) != 0) return Fail(EBADF);
        // Take what arrived before a hang-up first; the next empty read reports it.
        if ((revents & (POLLHUP | POLLERR)) != 0) hungUp = true;
    }
    return true;
}

void SerialClose(PortHandle port) {
    PortRecord* record = RecordOf(port);
    if (record == nullptr) return;
    (void)ioctl(record->fd, TIOCNXCL);
    (void)flock(record->fd, LOCK_UN);
    close(record->fd);
    record->fd = -1;
    record->magic = 0;
    delete record;
}

void SerialPause(uint32_t milliseconds) {
    std::this_thread::sleep_for(Milliseconds(milliseconds));
}

uint32_t SerialLastError() { return lastError; }

namespace {
// strerror_r comes in two shapes (XSI returns int, GNU returns the text); accept either.
[[maybe_unused]] const char* ErrorTextResult(int result, const char* buffer) { return result == 0 ? buffer : nullptr; }
[[maybe_unused]] const char* ErrorTextResult(const char* text, const char*) { return text; }
}  // namespace

void SerialErrorText(uint32_t error, char* text, size_t capacity) {
    if (text == nullptr || capacity == 0) return;
    text[0] = '\0';
    char buffer[256] = {};
    const char* message = ErrorTextResult(strerror_r(static_cast<int>(error), buffer, sizeof buffer), buffer);
    if (message == nullptr) message = "unknown error";
    std::strncpy(text, message, capacity - 1);
    text[capacity - 1] = '\0';
}

bool SerialErrorIsNoSuchPort(uint32_t error) {
    return error == ENOENT || error == ENODEV || error == ENXIO;
}

bool SerialErrorIsBusy(uint32_t error) {
    return error == EWOULDBLOCK || error == EAGAIN || error == EBUSY;
}
