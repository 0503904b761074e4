#include "sample_image.h"

#include <link/float_codec.h>
#include <link/int_codec.h>
#include <link/zstring.h>
#include <settings/settings_writer.h>

const MemoryMap& TwentyMap()
{
    static const MemoryMap map{0,   "TELVARON-1E", 20,  10,  3,    607,  1216, 1904, 688,
                               607, 611,           612, 613, 615,  617,  674,  675,  676,
                               685, 694,           784, 794, 1216, 1304, 1804, 1879};
    return map;
}

const MemoryMap& EightMap()
{
    static const MemoryMap map{1,   "TELVARON-2", 8,   4,   1,   293, 588, 926, 338, 293, 586, 297, 298,
                               300, 301,          358, 359, 360, 369, 378, 414, 418, 588, 676, 876, 901};
    return map;
}

int SampleType(const MemoryMap& map, int row)
{
    return row < map.digital ? 2 + row % 3 : (row + 1) % 6;
}

quint8 SampleFlags(const MemoryMap& map, int row)
{
    quint8 f = 0;
    const int bits[] = {row % 2 == 0, row % 4 != 3, row % 4 == 0 || row % 4 == 2,
                        row % 3 == 0, row % 3 != 1, row % 4 < 2};
    for (int b = 0; b < 6; ++b)
        if (bits[b])
            f |= quint8(1 << b);
    const int type = SampleType(map, row);
    if ((type == 3 || type == 4) && (f & 6) == 6)
        f &= quint8(~2);
    return f;
}

namespace {
QByteArray NameBytes(int seed)
{
    QByteArray bytes;
    for (const int b : {128 + seed % 24, '0' + seed / 10, 255, 1 + seed % 40})
        bytes.append(char(b));
    return bytes;
}

void Put(SettingsImage& image, int offset, const QByteArray& bytes)
{
    for (int i = 0; i < bytes.size(); ++i)
        image[std::size_t(offset + i)] = quint8(bytes[i]);
}
} // namespace

QString SampleNameTag(int seed)
{
    return QString::fromLatin1((NameBytes(seed) + '\0').toHex().toUpper());
}

SettingsImage SampleImage(const MemoryMap& m)
{
    SettingsImage image{};
    std::span<quint8> s(image);
    for (int i = 0; i < m.rows; ++i) {
        const int r = m.sensors + 21 * i;
        const quint8 flags = SampleFlags(m, i);
        image[std::size_t(r)] = flags;
        if (flags & 2)
            WriteFloat32(s, r + 1, 100 + i);
        if (flags & 4)
            WriteFloat32(s, r + 5, -10.5 - i);
        WriteFloat32(s, r + 9, 0.25 * (i + 1));
        WriteFloat32(s, r + 13, 0.5 + i);
        WriteU16(s, r + 17, 60 + i);
        WriteU16(s, r + 19, 10 + i);
        if (i < m.digital) {
            image[std::size_t(m.types + i)] = quint8(SampleType(m, i));
        } else {
            const int a = m.analog + 9 * (i - m.digital);
            image[std::size_t(a)] = quint8(SampleType(m, i));
            WriteFloat32(s, a + 1, -25 + i);
            WriteFloat32(s, a + 5, 6.25);
        }
        Put(image, m.sensorNames + 25 * i, NameBytes(i));
    }
    for (int k = 0; k < m.voltages; ++k)
        Put(image, m.voltageNames + 25 * k, NameBytes(30 + k));
    Put(image, m.systemName, NameBytes(35));
    image[std::size_t(m.bypass)] = m.kind == 0 ? 7 : 9;
    image[std::size_t(m.mainsFlags)] = 2;
    WriteU16(s, m.mainsDelay, 1234);
    image[std::size_t(m.mainsMode)] = quint8(m.voltages - 1 + (m.kind == 0 ? 0 : 1));
    for (int d = 0; d < 7; ++d) {
        const quint8 day[8] = {
            quint8(d), quint8(5 + d), quint8(10 + d), quint8(30 + d), quint8(12 + d), 0, quint8(17 + d), 59};
        for (int j = 0; j < 8; ++j)
            image[std::size_t(m.schedule + 8 * d + j)] = d == 6 && j >= 4 ? 255 : day[j];
    }
    image[std::size_t(m.ring)] = 5;
    image[std::size_t(m.number)] = 42;
    WriteZString(s, m.security, QStringLiteral("98765432"));
    WriteZString(s, m.entry, QStringLiteral("1234"));
    const char* phones[] = {"2101234567", "*21#", "69p123", ""};
    for (int k = 0; k < 4; ++k)
        WriteZString(s, m.phones + 22 * k, QString::fromLatin1(phones[k]));
    SealSettingsImage(s, LayoutFor(m.kind));
    return image;
}
