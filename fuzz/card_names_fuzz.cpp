// Card file names and the kernel's table of locks, both read from bytes of any kind. A name
// that passes the rule must fit the directory's field whole; a shortened or file-made name
// must pass it; a printable name must hold no control character; a lock holder must be a
// process of the file asked for.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "card_service/card_names.h"
#include "devices/card_lock.h"

using namespace kestra::card;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!CardNameProblem(text) && text.size() > kMaxNameBytes) __builtin_trap();
    const std::string_view shortened = WholeCharacters(text, kMaxNameBytes);
    if (shortened.size() > kMaxNameBytes || text.substr(0, shortened.size()) != shortened)
        __builtin_trap();
    if (OnlyTooLong(text) && CardNameProblem(shortened)) __builtin_trap();
    const std::string fromFile = CardNameOfFile(text);
    if (!fromFile.empty() && CardNameProblem(fromFile)) __builtin_trap();
    for (char c : PrintableName(text))
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) __builtin_trap();

    for (pid_t pid : kestra::platform::FlockHolders(text, 0, 0x2a, 5678, 1))
        if (pid <= 1) __builtin_trap();
    return 0;
}
