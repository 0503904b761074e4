// Zero-terminated texts, device names and name codes at any start index.
#include "device_text.h"
#include "fuzz_support.h"
#include "hex_text.h"
#include "zstring.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, std::size_t size)
{
    if (size < 2)
        return 0;
    // The first two bytes choose the start, from just before the buffer to just past it;
    // reading texts at every start would cost the square of the size.
    const std::span<const quint8> buffer(data + 2, size - 2);
    const qsizetype start = qsizetype((data[0] | data[1] << 8) % (buffer.size() + 5)) - 2;
    const qsizetype bytesFromStart = start < 0 ? 0 : std::max<qsizetype>(0, qsizetype(buffer.size()) - start);

    const QString text = ReadZString(buffer, start);
    Require(text.size() <= bytesFromStart);

    const QString codes = HexZString(buffer, start);
    Require(codes.size() == 2 * text.size() + 2 && codes.endsWith(QLatin1String("00")));

    // At most the longest word and a space per byte.
    Require(DecodeDeviceText(buffer, start).size() <= 17 * bytesFromStart);

    // What was read writes back into a field of exactly its size and reads the same.
    if (!text.contains(QChar(0xFFFD))) {
        std::vector<quint8> field(std::size_t(text.size()) + 1);
        Require(WriteZString(field, 0, text));
        Require(ReadZString(field, 0) == text);
        Require(!WriteZString(std::span(field).first(field.size() - 1), 0, text));
    }
    return 0;
}
