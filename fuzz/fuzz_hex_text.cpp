// Intel HEX checksums and the digit substitution on arbitrary texts.
#include "fuzz_support.h"
#include "hex_text.h"

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, std::size_t size)
{
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));

    const QString scrambled = ScrambleHexDigits(text);
    Require(scrambled.size() == text.size() && ScrambleHexDigits(scrambled) == text);

    const QString checksum = IntelHexChecksum(text);
    Require(checksum.size() == 2);
    // A record of whole pairs with its checksum appended sums to a multiple of 256.
    if (text.size() % 2 == 1)
        Require(IntelHexChecksum(text + checksum) == QLatin1String("00"));
    return 0;
}
