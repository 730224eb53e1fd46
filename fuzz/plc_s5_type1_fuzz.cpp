// GetProject of the S5 driver over any bytes: the image as it comes, and again with its
// checksums made to match so that every section reader is reached. A loaded project is
// saved again and released; the block table must end as it began.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/memory.h"
#include "plc_s5/k32plc1.h"
#include "plc_s5/type1_image.h"
#include "tests/plc_s5/s5_release.h"
#include "utilities/services.h"

using namespace kestra;

namespace {

void LoadAndRelease(std::vector<std::byte>& image) {
    auto loaded = s5::LoadType1Image(image);
    const HGLOBAL* project = std::get_if<HGLOBAL>(&loaded);
    if (!project) return;
    HGLOBAL saved = 0;
    if (SaveProject(*project, 0, &saved)) GlobalFree(saved);
    s5::testing::ReleaseProject(*project);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool registered = (SetAppFmalloc(&mem::HostAllocate), true);
    (void)registered;
    const std::size_t global = mem::LiveBlocks(mem::Kind::Global),
                      host = mem::LiveBlocks(mem::Kind::Host);
    std::vector<std::byte> image(reinterpret_cast<const std::byte*>(data),
                                 reinterpret_cast<const std::byte*>(data) + size);
    LoadAndRelease(image);
    if (s5::WriteChecksums(image)) LoadAndRelease(image);
    if (mem::LiveBlocks(mem::Kind::Global) != global || mem::LiveBlocks(mem::Kind::Host) != host)
        std::abort();
    return 0;
}
