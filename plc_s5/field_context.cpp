#include "plc_s5/field_context.h"

#include "plc_s5/tables.h"

namespace kestra::s5 {

unsigned ContextFilterFlags(const _tagDEFIELD& context, bool formatCheck) {
    const std::uint32_t flags = context.flags;
    unsigned filter = 0;
    const unsigned mode = context.field ? context.field->mode : 0;
    if (mode == 2 || mode == 3 || (flags & (kContextWriteA | kContextPreferredOnly)))
        filter |= kWritingNeeded;
    if (flags & kContextPreferredOnly) filter |= kPreferredOnly;
    if ((flags & kContextNumericCodes) ||
        ((flags & kContextOtherPlc) && !(flags & kContextKeepCodes)))
        filter |= kNumericCodes;
    if (formatCheck) {
        if (flags & kContextBitOnly)
            filter |= kBitOnly;
        else if (flags & kContextNoBit)
            filter |= kNoBit;
    }
    return filter;
}

}  // namespace kestra::s5
