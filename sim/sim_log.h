#pragma once

#include <QByteArrayView>
#include <QMutex>
#include <QString>

class QIODevice;

namespace unitsim {

// Time-stamped lines of what crossed the unit's line. Safe to use from any thread.
class SimLog
{
public:
    // Not owned; nullptr switches logging off.
    void SetDevice(QIODevice* device);
    void Line(const QString& text);
    static QString Hex(QByteArrayView bytes);

private:
    QMutex mutex_;
    QIODevice* device_ = nullptr;
};

} // namespace unitsim
