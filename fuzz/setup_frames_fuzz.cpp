// Bytes of the local socket between the project editor and Panora, arriving in pieces of any
// size: gathered into frames, every setup frame checked and answered as Panora would, and
// every frame read as the help stub reads a help place.
#include <cstddef>
#include <cstdint>

#include "panel_setup/exchange_block.h"
#include "panel_setup/setup_channel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestra::panel;
    if (size < 1) return 0;
    const std::size_t piece = data[0] % 64 + 1;
    FrameReader reader(kMaxBlockSize);
    for (std::size_t pos = 1; pos < size; pos += piece) {
        const std::size_t n = pos + piece <= size ? piece : size - pos;
        reader.Append(
            QByteArray(reinterpret_cast<const char*>(data + pos), static_cast<qsizetype>(n)));
        while (auto frame = reader.Next()) {
            // A help place that reads encodes back to the same bytes.
            if (auto place = DecodeHelpPlace(frame->Span()))
                if (EncodeHelpPlace(*place).mid(kFrameHeaderSize) != frame->bytes) __builtin_trap();
            if (frame->dataWord != kSetupDataWord) continue;
            if (auto request = SetupRequest::FromBlock(frame->Span()))
                if (request->Reply(false, "").size() != block::kFixedSize) __builtin_trap();
        }
        if (reader.Failed()) break;
    }
    return 0;
}
