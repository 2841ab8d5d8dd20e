#include "services/mib_codec.h"
#include "services/mib_filter.h"

#include "fuzz.h"

// The first byte chooses: decode the rest as a printer's answer, or type it into a dialog field.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    std::string rest = Text(data + 1, size - 1);
    if (data[0] < 128) {
        MibAnswer a;
        int result = MibDecode(data + 1, size - 1, &a);
        if (a.community.size() + a.objectId.size() + a.value.size() > rest.size())
            abort();
        if (result == MIB_COMPLETE && (a.dataType.size() != 4 || a.value.size() > 1501))
            abort();
        int hex;
        MibValueText(a, &hex);
        MibCycleText(a);
        return 0;
    }
    int field = data[0] % 5;
    std::string laidOut, again;
    size_t caret = 0, caret2 = 0;
    if (MibFilter(field, rest, data[0] % 7 * rest.size() / 6, &laidOut, &caret)) {
        // A laid-out text is its own layout, and the caret stays inside it.
        if (laidOut.size() > MibFieldLimit(field) || caret > laidOut.size())
            abort();
        if (!MibFilter(field, laidOut, caret, &again, &caret2) || again != laidOut || caret2 != caret)
            abort();
        MibBuild build;
        MibBuildRequest({MIB_SET, field % 3 + 1, laidOut, laidOut, laidOut}, &build);
    }
    return 0;
}
