// The image header and descriptor of any bytes.
#include <cstdint>
#include <cstdlib>
#include <variant>

#include "kestra/project_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto image = std::span<const std::byte>(reinterpret_cast<const std::byte*>(data), size);
    auto located = kestra::LocateProject(image);
    if (auto* found = std::get_if<kestra::LocatedProject>(&located)) {
        // The record must lie wholly inside the image.
        if (found->recordOffset + kestra::kProjectRecordSize > size) std::abort();
        volatile auto rules = kestra::RulesForFormat(found->formatCode);
        (void)rules;
    }
    return 0;
}
