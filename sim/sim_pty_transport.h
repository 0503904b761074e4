#pragma once

#include "sim_transport.h"

#include <QPointer>

namespace unitsim {

class FdLink;

// A pseudo-terminal whose slave is published as a symbolic link at the caller's path, so a
// client opens the link like a serial port. The simulator keeps a slave descriptor open itself,
// so the master never reads end-of-file while no client has the port open. Dropping the link
// closes the pseudo-terminal (a client's open port fails) and opens a new one at the same link.
class PtyTransport : public SimTransport
{
    Q_OBJECT
public:
    explicit PtyTransport(QString linkPath, QObject* parent = nullptr);
    ~PtyTransport() override;

    bool Start(QString* error) override;
    void Write(const QByteArray& bytes) override;
    void DropLink(int downMs) override;
    QString Describe() const override;

private:
    bool Open(QString* error);
    void Close();

    QString linkPath_;
    QString slavePath_;
    QPointer<FdLink> master_;
    int heldSlave_ = -1;
};

} // namespace unitsim
