// Any folder text maps to a path or to nothing; it never escapes into another drive's mapping by
// itself and never crashes.
#include "receive/saverecord.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString folder = SaveRecord::folderPath(text);
    const QString file = SaveRecord::filePath(text);
    if (folder.isEmpty() != file.isEmpty())
        std::abort();
    if (!file.isEmpty() && !file.endsWith(QLatin1String("1.txt")))
        std::abort();
    return 0;
}
