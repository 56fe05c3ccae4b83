// Any file as a firmware image, uploaded to a unit that takes everything: the result is
// the oracle's for the file's size and check byte (too big, empty or a wrong check byte
// is refused before anything is sent), and a success put exactly the file on the wire.
// The first input byte can pad the file past 65,536 bytes with zeros.
#include <algorithm>

#include "checksum.h"
#include "image_path.h"
#include "upload_oracle.h"
#include "wire_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    if (size == 0) return 0;
    FakeSerial::Get().Reset();
    const uint8_t mode = input[0];
    const std::vector<uint8_t> content(input + 1, input + size);
    const uint64_t fileSize = (mode & 0x80) != 0 ? 65536u + 1u + (mode & 0x7Fu) * 1000u : content.size();
    WriteScratchImage(content, fileSize);

    UploadScenario scenario;
    scenario.imageSize = fileSize;
    scenario.imageCheckByteValid =
        fileSize == content.size() && !content.empty() &&
        AdditiveChecksum(content.data(), static_cast<int32_t>(content.size() - 1)) == content.back();
    const UploadExpectation want = ExpectedUpload(scenario);

    {
        DeviceLink link;
        FUZZ_REQUIRE(WireScript::OpenFirstPort(link));
        link.protocolFlags = 2;
        FakeSerial::Get().ClearCalls();
        // Two 'O' per write: every answer and the final status read 'O'.
        FakeSerial::Get().SetPeer([](const uint8_t*, size_t) { return std::vector<uint8_t>{'O', 'O'}; });

        const ResultCode result = link.UploadFirmware(ScratchImagePath().c_str(), nullptr);

        FUZZ_REQUIRE(result == want.result);
        RequireSettled(link, result);
        const std::vector<uint8_t> sent = FakeSerial::Get().AllWrittenBytes();
        if (result == RESULT_OK) {
            std::vector<uint8_t> full = ExpectedHeader(static_cast<uint32_t>(content.size()));
            for (const auto& block : ExpectedBlocks(content)) full.insert(full.end(), block.begin(), block.end());
            FUZZ_REQUIRE(sent == full);
        } else {
            FUZZ_REQUIRE(sent.empty());
        }
        link.ClosePort();
    }
    return 0;
}
