// Puts one emulated unit on a pseudo-terminal: the slave side is linked to a path the host
// opens like a serial port, and one thread serves the device model on the master side.
//
// - The unit listens and talks at its own speed. Before taking or sending bytes it reads the
//   line settings through the master (Linux reports the slave's there); bytes that arrive
//   while the host's speed differs are garbage to the unit (counted, never answered).
// - The host keeps its own slave descriptor open, so the master never sees a hang-up between
//   host opens; closing the master is how the unit hangs up on every opener.
// - Pacing (optional) delivers each byte at the simulated line rate, 10 bits a byte at the
//   current speed in both directions, with absolute-deadline timers.
// - Every byte each way is traced; a trace callback can stream it to a file.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device_model.h"
#include "trace.h"

class PtyHost {
public:
    using TraceCallback = std::function<void(const TraceRecord&)>;
    using ImageCallback = std::function<void(const std::vector<uint8_t>&)>;

    PtyHost(const UnitConfig& config, std::string linkPath);
    ~PtyHost();
    PtyHost(const PtyHost&) = delete;
    PtyHost& operator=(const PtyHost&) = delete;

    // Called on the unit's thread; set before Start.
    void OnTrace(TraceCallback callback) { onTrace_ = std::move(callback); }
    void OnImage(ImageCallback callback) { onImage_ = std::move(callback); }

    // Creates the pty, links it and starts serving. False with a reason on failure.
    bool Start(std::string* error);
    // Stops the thread, hangs up the line and removes the link (if it is still ours).
    void Stop();

    const std::string& LinkPath() const { return linkPath_; }
    std::string SlavePath() const;

    // Snapshots, safe from any thread.
    std::vector<uint8_t> HostBytes() const;  // every byte the host wrote, garbage included
    std::vector<TraceRecord> Trace() const;
    std::vector<uint8_t> ReceivedImage() const;
    ModelStats Stats() const;
    // True while the unit holds part of a request or an upload and waits for the rest.
    bool UnitWaiting() const;
    int32_t UnitSpeed() const;
    VersionTriple UnitVersion() const;
    uint64_t GarbageBytes() const;
    bool HungUp() const;
    // True while any process (this one included) holds the slave side open, besides the
    // host's own descriptor.
    bool HeldByOthers() const;

private:
    struct Pending {  // one queued step of the unit's output
        int64_t deadlineNs = 0;
        ModelAction action;
        int32_t speed = 0;  // the speed its bytes go out at
    };

    void Serve();
    void TakeInput(const uint8_t* data, size_t n, int64_t nowNs);
    void Queue(ModelAction action, int64_t readyNs);
    void FlushDue(int64_t nowNs);
    void ArmTimer();
    void HangUpLine();
    void Record(TraceRecord::Kind kind, const uint8_t* data, size_t n, int32_t speed);
    int32_t HostSpeed() const;
    int64_t ByteTimeNs(int32_t speed) const;
    int64_t NowNs() const;

    DeviceModel model_;
    const std::string linkPath_;
    std::string slavePath_;
    dev_t slaveDevice_ = 0;
    int master_ = -1;
    int heldSlave_ = -1;
    int stopEvent_ = -1;
    int timer_ = -1;
    std::thread thread_;
    int64_t startNs_ = 0;
    bool stopped_ = false;

    mutable std::mutex mutex_;  // guards the model, trace and counters below
    std::vector<TraceRecord> trace_;
    std::vector<uint8_t> hostBytes_;
    uint64_t garbage_ = 0;
    bool hungUp_ = false;

    // Owned by the unit's thread.
    std::vector<Pending> pending_;  // in order; front first
    size_t pendingHead_ = 0;
    int64_t rxFreeNs_ = 0;  // when the host-to-unit line is free again (paced)
    int64_t txFreeNs_ = 0;  // when the unit-to-host line is free again (paced)
    int64_t lastInputNs_ = 0;
    int32_t queuedSpeed_ = DeviceModel::kDefaultSpeed;  // the speed after every queued step

    TraceCallback onTrace_;
    ImageCallback onImage_;
};
