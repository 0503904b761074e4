#pragma once

#include "sim_transport.h"

#include <QPointer>
#include <QTimer>

namespace unitsim {

class FdLink;

// An existing tty opened by path, for instance the pseudo-terminal that a serial device server
// such as socat publishes. The device may appear later and may go away: the simulator keeps
// trying to open it every retry interval.
class DeviceTransport : public SimTransport
{
    Q_OBJECT
public:
    explicit DeviceTransport(QString path, QObject* parent = nullptr);

    bool Start(QString* error) override;
    void Write(const QByteArray& bytes) override;
    void DropLink(int downMs) override;
    QString Describe() const override;

private:
    void TryOpen();
    void Close();

    static constexpr int kRetryMs = 50;
    QString path_;
    QPointer<FdLink> device_;
    QTimer retry_{this};
};

} // namespace unitsim
