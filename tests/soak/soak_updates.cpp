// The fault soak: N firmware updates in a row against an emulated unit through the real
// serial layer (a pseudo-terminal natively, a COM port under wine), each with a random fault
// plan drawn from seed + index.
//
//   soak_updates [--updates N] [--seed S] [--first I] [--silence-percent P]
//
// After every update: the upload's result is the one the oracle computes from the plan;
// success only when the unit's final status means success, and then the unit holds the
// image byte for byte; the port is released; the process holds no more descriptors than
// before the update. At the end the resident size must not have grown past a small
// allowance. Prints the counts and every lost update with the options that replay it
// (--seed S --first I --updates 1). Exit status 0 only when nothing was lost.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "device_link.h"
#include "fault_plan.h"
#include "process_usage.h"
#include "sim_bench.h"

namespace {

constexpr uint64_t kResidentGrowthAllowanceKiB = 8 * 1024;
#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer holds freed memory in quarantine, so the resident size grows by design;
// its leak checker at exit stands in for the resident-size check.
constexpr bool kResidentSizeTellsLeaks = false;
#else
constexpr bool kResidentSizeTellsLeaks = true;
#endif
constexpr int kWarmUpUpdates = 10;

struct Options {
    int updates = 100;
    uint64_t seed = 20261209;
    int first = 0;
    int silencePercent = 2;
};

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        char* end = nullptr;
        const unsigned long long number = std::strtoull(value, &end, 10);
        if (end == value || *end != '\0') return false;
        if (arg == "--updates") options->updates = static_cast<int>(number);
        else if (arg == "--seed") options->seed = number;
        else if (arg == "--first") options->first = static_cast<int>(number);
        else if (arg == "--silence-percent" && number <= 100) options->silencePercent = static_cast<int>(number);
        else return false;
    }
    return options->updates > 0;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

struct Counts {
    int updates = 0;
    std::array<int, static_cast<size_t>(FaultKind::Count)> faults{};
    std::map<ResultCode, int> results;
    int unitsNotFound = 0;
    int lost = 0;
};

#if defined(DRUSEL_HANGUP_READS_AS_SILENCE)
constexpr HangUpSeenAs kHangUp = HangUpSeenAs::Silence;  // wine: a pending read is not woken
#else
constexpr HangUpSeenAs kHangUp = HangUpSeenAs::ReadFailure;
#endif

// Runs one planned update; returns the reasons it was lost (none: it ended as it must).
std::vector<std::string> RunUpdate(const PlannedUpdate& plan, const std::string& imagePath, Counts* counts) {
    std::vector<std::string> wrong;
    SimBench& bench = SimBench::Get();
    bench.Configure(1, plan.unit);
    const std::vector<uint8_t> image = MakeValidImage(plan.imageSize, static_cast<uint32_t>(plan.seed));
    if (!WriteFile(imagePath, image)) return {"cannot write the image file " + imagePath};
    const int descriptorsBefore = OpenDescriptorCount();

    const std::string port = bench.PortName(1);
    const char* names[] = {port.c_str()};
    ResultCode result = RESULT_OK;
    {
        DeviceLink link;
        VersionTriple version{};
        const DeviceKind kind = link.DiscoverDevice(nullptr, 0, &version, PortList{names, 1});
        const bool wantFlashable = plan.unitIdentifies && plan.unitTakesFirmware;
        if (((kind & KIND_FLASHABLE_MASK) != 0) != wantFlashable)
            wrong.push_back("discovery gave kind " + std::to_string(kind));
        if (kind == 0) ++counts->unitsNotFound;

        result = link.UploadFirmware(imagePath.c_str(), nullptr);
        UploadScenario scenario = plan.upload;
        scenario.hangUp = kHangUp;
        ResultCode want = wantFlashable ? ExpectedUpload(scenario).result : RESULT_REFUSED;
        if (wantFlashable && kHangUp == HangUpSeenAs::Silence && result != want) {
            // Under wine a read already waiting when the line drops runs out empty, but one
            // started after the drop fails: either is a failure, never success.
            scenario.hangUp = HangUpSeenAs::ReadFailure;
            want = ExpectedUpload(scenario).result;
        }
        if (result != want)
            wrong.push_back(std::string("upload gave ") + ResultCodeName(result) + ", the oracle " + ResultCodeName(want));
        if (result == RESULT_OK && plan.finalStatusMasked) {
            // The real final status was pushed out of its place: the version is the backstop.
            VersionTriple after{};
            const bool programmed = plan.finalStatus == 'O' || plan.finalStatus == 'C';
            if (link.QueryVersion(&after) != RESULT_OK)
                wrong.push_back("no version to compare after a stray byte masked the final status");
            else if ((after.minor != version.minor) != programmed)
                wrong.push_back("the version after the update does not tell whether the unit took it");
        } else if (result == RESULT_OK) {
            if (!FinalStatusMeansSuccess(plan.finalStatus))
                wrong.push_back("success reported after the failing final status " + std::to_string(plan.finalStatus));
            if (bench.ReceivedImage(1) != image) wrong.push_back("success reported, but the unit holds another image");
        }
        if (link.idle != 1) wrong.push_back("idle is not 1 after the upload");
        link.ClosePort();
        if (link.portHandle != nullptr || link.portOpen != 0) wrong.push_back("the link still holds the port");
    }
    if (bench.PortInUse(1)) wrong.push_back("the port is still open after the link let it go");
    const int descriptorsAfter = OpenDescriptorCount();
    if (descriptorsBefore >= 0 && descriptorsAfter > descriptorsBefore)
        wrong.push_back("descriptors grew from " + std::to_string(descriptorsBefore) + " to " +
                        std::to_string(descriptorsAfter));
    ++counts->results[result];
    return wrong;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: soak_updates [--updates N] [--seed S] [--first I] [--silence-percent P]\n");
        return 2;
    }
    std::error_code error;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path(error) / ("drusel-soak-" + std::to_string(options.seed) + "-" +
                                                       std::to_string(std::random_device{}()));
    if (error || !std::filesystem::create_directory(folder, error)) {
        std::fprintf(stderr, "soak_updates: cannot make a temporary folder: %s\n", error.message().c_str());
        return 1;
    }
    const std::string imagePath = (folder / "image.enc").string();
    std::printf("fault soak: %d updates, seed %llu, first %d, silence %d%% of upload faults\n", options.updates,
                static_cast<unsigned long long>(options.seed), options.first, options.silencePercent);
    std::fflush(stdout);

    Counts counts;
    uint64_t residentAfterWarmUp = 0;
    for (int i = options.first; i < options.first + options.updates; ++i) {
        const PlannedUpdate plan = PlanUpdate(options.seed + static_cast<uint64_t>(i), options.silencePercent);
        for (FaultKind kind : plan.kinds) ++counts.faults[static_cast<size_t>(kind)];
        const std::vector<std::string> wrong = RunUpdate(plan, imagePath, &counts);
        ++counts.updates;
        if (!wrong.empty()) {
            ++counts.lost;
            std::printf("LOST update %d (replay: --seed %llu --first %d --updates 1): %s\n", i,
                        static_cast<unsigned long long>(options.seed), i, plan.Describe().c_str());
            for (const std::string& why : wrong) std::printf("    %s\n", why.c_str());
        }
        if (counts.updates == kWarmUpUpdates) residentAfterWarmUp = ResidentKiB();
        if (counts.updates % 50 == 0) {
            std::printf("  %d updates, %d lost, %d descriptors, resident %llu KiB\n", counts.updates, counts.lost,
                        OpenDescriptorCount(), static_cast<unsigned long long>(ResidentKiB()));
            std::fflush(stdout);
        }
    }
    std::filesystem::remove_all(folder, error);

    const uint64_t residentAtEnd = ResidentKiB();
    std::printf("updates run: %d\n", counts.updates);
    std::printf("faults injected:\n");
    for (size_t k = 0; k < counts.faults.size(); ++k)
        std::printf("  %-22s %d\n", FaultKindName(static_cast<FaultKind>(k)), counts.faults[k]);
    std::printf("results:\n");
    for (const auto& [code, n] : counts.results) std::printf("  %-24s %d\n", ResultCodeName(code), n);
    std::printf("units not found by discovery: %d\n", counts.unitsNotFound);
    if (OpenDescriptorCount() >= 0) std::printf("descriptors at the end: %d\n", OpenDescriptorCount());
    else std::printf("descriptors: not counted on this system\n");
    if (residentAfterWarmUp != 0) {
        std::printf("resident size: %llu KiB after %d updates, %llu KiB at the end\n",
                    static_cast<unsigned long long>(residentAfterWarmUp), kWarmUpUpdates,
                    static_cast<unsigned long long>(residentAtEnd));
        if (!kResidentSizeTellsLeaks) {
            std::printf("resident size not judged: the address sanitizer's quarantine holds freed memory\n");
        } else if (residentAtEnd > residentAfterWarmUp + kResidentGrowthAllowanceKiB) {
            std::printf("LOST: the resident size grew by more than %llu KiB\n",
                        static_cast<unsigned long long>(kResidentGrowthAllowanceKiB));
            ++counts.lost;
        }
    }
    std::printf("lost: %d\n", counts.lost);
    return counts.lost == 0 ? 0 : 1;
}
