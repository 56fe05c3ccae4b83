// The pty side of an emulated unit; see pty_host.h for the rules it plays by.
#include "pty_host.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

// How long a partial request may wait for its next byte before the unit drops it.
constexpr int64_t kReceiveTimeoutNs = 1500LL * 1000 * 1000;

int32_t BitsPerSecond(speed_t s) {
    switch (s) {
        case B9600: return 9600;
        case B19200: return 19200;
        case B38400: return 38400;
        case B57600: return 57600;
        case B115200: return 115200;
        case B230400: return 230400;
        case B460800: return 460800;
        case B921600: return 921600;
        default: return 0;
    }
}

std::string ErrnoText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Points `link` at `target`, replacing whatever was there in one step.
bool ReplaceLink(const std::string& target, const std::string& link, std::string* error) {
    const std::string temp = link + ".new" + std::to_string(getpid());
    unlink(temp.c_str());
    if (symlink(target.c_str(), temp.c_str()) != 0) {
        *error = ErrnoText(("symlink " + temp).c_str());
        return false;
    }
    if (rename(temp.c_str(), link.c_str()) != 0) {
        *error = ErrnoText(("rename to " + link).c_str());
        unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace

PtyHost::PtyHost(const UnitConfig& config, std::string linkPath)
    : model_(config), linkPath_(std::move(linkPath)), queuedSpeed_(model_.Speed()) {}

PtyHost::~PtyHost() { Stop(); }

bool PtyHost::Start(std::string* error) {
    std::string scratch;
    if (!error) error = &scratch;
    startNs_ = NowNs();
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0) {
        *error = ErrnoText("posix_openpt");
        return false;
    }
    char name[128];
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
        *error = ErrnoText("pty set-up");
        Stop();
        return false;
    }
    slavePath_ = name;
    heldSlave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    struct stat st {};
    if (heldSlave_ < 0 || fstat(heldSlave_, &st) != 0) {
        *error = ErrnoText(("open " + slavePath_).c_str());
        Stop();
        return false;
    }
    slaveDevice_ = st.st_rdev;

    // The unit's line at power-up: raw 8N1 at 115200, nothing translated.
    termios tio {};
    tcgetattr(heldSlave_, &tio);
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    if (tcsetattr(heldSlave_, TCSANOW, &tio) != 0) {
        *error = ErrnoText("tcsetattr");
        Stop();
        return false;
    }

    stopEvent_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    timer_ = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
    if (stopEvent_ < 0 || timer_ < 0) {
        *error = ErrnoText("eventfd/timerfd");
        Stop();
        return false;
    }
    if (!ReplaceLink(slavePath_, linkPath_, error)) {
        Stop();
        return false;
    }
    thread_ = std::thread([this] { Serve(); });
    return true;
}

void PtyHost::Stop() {
    // Once only: a later call must not remove a link that a new unit (perhaps on the same,
    // reused pty number) has taken over since.
    if (stopped_) return;
    stopped_ = true;
    if (thread_.joinable()) {
        const uint64_t one = 1;
        if (write(stopEvent_, &one, sizeof one) < 0) std::perror("drusel-sim: stop");
        thread_.join();
    }
    // Remove the link only while it still names this unit's pty.
    char target[256];
    const ssize_t len = readlink(linkPath_.c_str(), target, sizeof target - 1);
    if (len > 0 && std::string(target, static_cast<size_t>(len)) == slavePath_) unlink(linkPath_.c_str());
    for (int* fd : {&master_, &heldSlave_, &stopEvent_, &timer_}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
}

std::string PtyHost::SlavePath() const { return slavePath_; }

std::vector<uint8_t> PtyHost::HostBytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return hostBytes_;
}

std::vector<TraceRecord> PtyHost::Trace() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return trace_;
}

std::vector<uint8_t> PtyHost::ReceivedImage() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return model_.ReceivedImage();
}

ModelStats PtyHost::Stats() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return model_.Stats();
}

bool PtyHost::UnitWaiting() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return model_.InRequest();
}

int32_t PtyHost::UnitSpeed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return model_.Speed();
}

VersionTriple PtyHost::UnitVersion() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return model_.Version();
}

uint64_t PtyHost::GarbageBytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return garbage_;
}

bool PtyHost::HungUp() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return hungUp_;
}

bool PtyHost::HeldByOthers() const {
    if (slaveDevice_ == 0) return false;
    // Count every descriptor of every process that refers to the slave device.
    int count = 0;
    DIR* proc = opendir("/proc");
    if (!proc) return false;
    while (dirent* p = readdir(proc)) {
        if (p->d_name[0] < '0' || p->d_name[0] > '9') continue;
        const std::string fdDir = std::string("/proc/") + p->d_name + "/fd";
        DIR* fds = opendir(fdDir.c_str());
        if (!fds) continue;
        while (dirent* f = readdir(fds)) {
            if (f->d_name[0] == '.') continue;
            struct stat st {};
            const std::string path = fdDir + "/" + f->d_name;
            if (stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == slaveDevice_) ++count;
        }
        closedir(fds);
    }
    closedir(proc);
    const int ours = HungUp() ? 0 : 1;  // the held descriptor, open until a hang-up
    return count > ours;
}

void PtyHost::Serve() {
    // Paced answers are due at exact instants; the default 50 us timer slack would make
    // every one of them late. This thread only.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    // The unit stands in for a device with a processor of its own: a busy host should not
    // make it slow to answer. Best effort (it needs privileges); the thread sleeps between
    // bytes, so the raised priority costs the machine nothing.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), -10);
    uint8_t buffer[4096];
    while (true) {
        pollfd fds[3] = {{stopEvent_, POLLIN, 0}, {timer_, POLLIN, 0}, {master_, POLLIN, 0}};
        // The receive time-out of a partial request is the only wait without a deadline
        // queued; it needs no precision, so poll's millisecond time-out does.
        int timeoutMs = -1;
        bool inRequest = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            inRequest = model_.InRequest();
        }
        if (inRequest) {
            const int64_t left = lastInputNs_ + kReceiveTimeoutNs - NowNs();
            timeoutMs = left <= 0 ? 0 : static_cast<int>(left / 1000000 + 1);
        }
        const int ready = poll(fds, 3, timeoutMs);
        if (ready < 0 && errno != EINTR) break;
        if (fds[0].revents & POLLIN) break;
        const int64_t now = NowNs();
        if (fds[2].revents & POLLIN) {
            const ssize_t got = read(master_, buffer, sizeof buffer);
            if (got > 0) TakeInput(buffer, static_cast<size_t>(got), now);
        } else if (fds[2].revents & (POLLHUP | POLLERR)) {
            break;  // cannot happen while the held slave is open; do not spin if it does
        }
        if (fds[1].revents & POLLIN) {
            uint64_t expirations = 0;
            if (read(timer_, &expirations, sizeof expirations) < 0 && errno != EAGAIN) break;
        }
        if (inRequest && ready == 0 && now - lastInputNs_ >= kReceiveTimeoutNs) {
            std::lock_guard<std::mutex> lock(mutex_);
            model_.AbandonPartialRequest();
        }
        FlushDue(NowNs());
        if (hungUp_) break;  // written only on this thread
        ArmTimer();
    }
}

void PtyHost::TakeInput(const uint8_t* data, size_t n, int64_t nowNs) {
    lastInputNs_ = nowNs;
    const int32_t hostSpeed = HostSpeed();
    std::vector<std::pair<ModelAction, int64_t>> produced;
    int completedBefore = 0, completedAfter = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hostBytes_.insert(hostBytes_.end(), data, data + n);
        const int32_t unitSpeed = model_.Speed();
        if (hostSpeed != unitSpeed) {
            garbage_ += n;
            Record(TraceRecord::Kind::Garbage, data, n, hostSpeed);
            return;
        }
        Record(TraceRecord::Kind::FromHost, data, n, unitSpeed);
        // Each byte is on the unit's side only once its 10 bits have crossed the line.
        const int64_t byteNs = ByteTimeNs(unitSpeed);
        const int64_t start = std::max(nowNs, rxFreeNs_);
        completedBefore = model_.Stats().uploadsCompleted;
        std::vector<ModelAction> actions;
        for (size_t i = 0; i < n; ++i) {
            actions.clear();
            model_.Feed(data[i], &actions);
            for (ModelAction& a : actions) produced.emplace_back(std::move(a), start + static_cast<int64_t>(i + 1) * byteNs);
        }
        rxFreeNs_ = start + static_cast<int64_t>(n) * byteNs;
        completedAfter = model_.Stats().uploadsCompleted;
    }
    for (auto& [action, readyNs] : produced) Queue(std::move(action), readyNs);
    if (completedAfter != completedBefore && onImage_) onImage_(ReceivedImage());
}

void PtyHost::Queue(ModelAction action, int64_t readyNs) {
    // The speed this step happens at is the one in force after the steps queued before it.
    const int32_t speed = queuedSpeed_;
    if (action.kind == ModelAction::Kind::SetSpeed) queuedSpeed_ = action.speed;
    Pending p;
    p.speed = speed;
    if (action.kind == ModelAction::Kind::Send && model_.Config().paced && action.together) {
        // Delivered at once, when the last of its bytes would have arrived.
        const int64_t t = std::max(readyNs, txFreeNs_) + ByteTimeNs(speed) * static_cast<int64_t>(action.bytes.size());
        p.deadlineNs = t;
        p.action = std::move(action);
        pending_.push_back(std::move(p));
        txFreeNs_ = t;
        return;
    }
    if (action.kind == ModelAction::Kind::Send && model_.Config().paced) {
        // Each answer byte is delivered when its last bit would have arrived.
        const int64_t byteNs = ByteTimeNs(speed);
        int64_t t = std::max(readyNs, txFreeNs_);
        for (uint8_t b : action.bytes) {
            t += byteNs;
            Pending one = p;
            one.deadlineNs = t;
            one.action = ModelAction{ModelAction::Kind::Send, {b}, 0, false};
            pending_.push_back(std::move(one));
        }
        txFreeNs_ = t;
        return;
    }
    p.deadlineNs = model_.Config().paced ? std::max(readyNs, txFreeNs_) : 0;
    p.action = std::move(action);
    pending_.push_back(std::move(p));
}

void PtyHost::FlushDue(int64_t nowNs) {
    while (pendingHead_ < pending_.size() && pending_[pendingHead_].deadlineNs <= nowNs && !hungUp_) {
        Pending& p = pending_[pendingHead_];
        if (p.action.kind == ModelAction::Kind::SetSpeed) {
            std::lock_guard<std::mutex> lock(mutex_);
            Record(TraceRecord::Kind::SpeedSet, nullptr, 0, p.action.speed);
            ++pendingHead_;
            continue;
        }
        if (p.action.kind == ModelAction::Kind::HangUp) {
            ++pendingHead_;
            HangUpLine();
            break;
        }
        // Gather every byte due now that goes out at the same speed into one write.
        std::vector<uint8_t> out;
        const int32_t speed = p.speed;
        while (pendingHead_ < pending_.size() && pending_[pendingHead_].deadlineNs <= nowNs &&
               pending_[pendingHead_].action.kind == ModelAction::Kind::Send &&
               pending_[pendingHead_].speed == speed) {
            const auto& bytes = pending_[pendingHead_].action.bytes;
            out.insert(out.end(), bytes.begin(), bytes.end());
            ++pendingHead_;
        }
        if (HostSpeed() != speed) {
            std::lock_guard<std::mutex> lock(mutex_);
            Record(TraceRecord::Kind::Dropped, out.data(), out.size(), speed);
            continue;
        }
        // A host that does not read its answers fills the pty; what does not fit is lost,
        // as on a real line. The write is non-blocking; it happens under the lock so that
        // the trace already holds whatever the host can have read.
        std::lock_guard<std::mutex> lock(mutex_);
        const ssize_t written = write(master_, out.data(), out.size());
        const size_t sent = written > 0 ? static_cast<size_t>(written) : 0;
        if (sent > 0) Record(TraceRecord::Kind::FromUnit, out.data(), sent, speed);
        if (sent < out.size()) Record(TraceRecord::Kind::Dropped, out.data() + sent, out.size() - sent, speed);
    }
    if (pendingHead_ == pending_.size()) {
        pending_.clear();
        pendingHead_ = 0;
    }
}

void PtyHost::ArmTimer() {
    itimerspec when {};
    if (pendingHead_ < pending_.size()) {
        const int64_t deadline = std::max<int64_t>(pending_[pendingHead_].deadlineNs, 1);
        when.it_value.tv_sec = deadline / 1000000000;
        when.it_value.tv_nsec = deadline % 1000000000;
    }
    timerfd_settime(timer_, TFD_TIMER_ABSTIME, &when, nullptr);
}

void PtyHost::HangUpLine() {
    {
        // Recorded, and our own slave descriptor let go, before the line drops: whoever
        // sees the drop also sees why, and finds no descriptor of ours still counted.
        std::lock_guard<std::mutex> lock(mutex_);
        hungUp_ = true;
        Record(TraceRecord::Kind::HangUp, nullptr, 0, 0);
        close(heldSlave_);
        heldSlave_ = -1;
    }
    // Closing the master hangs up every descriptor of the slave.
    close(master_);
    master_ = -1;
}

void PtyHost::Record(TraceRecord::Kind kind, const uint8_t* data, size_t n, int32_t speed) {
    TraceRecord r;
    r.seconds = static_cast<double>(NowNs() - startNs_) / 1e9;
    r.kind = kind;
    if (n > 0) r.bytes.assign(data, data + n);
    r.speed = speed;
    if (onTrace_) onTrace_(r);
    trace_.push_back(std::move(r));
}

int32_t PtyHost::HostSpeed() const {
    termios tio {};
    if (master_ < 0 || tcgetattr(master_, &tio) != 0) return 0;
    return BitsPerSecond(cfgetospeed(&tio));
}

int64_t PtyHost::ByteTimeNs(int32_t speed) const {
    return speed > 0 ? 10LL * 1000000000LL / speed : 0;
}

int64_t PtyHost::NowNs() const {
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}
